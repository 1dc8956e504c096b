// TEMPORARY: replaced by the RCON work.
#pragma once
