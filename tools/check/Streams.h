// The checker's standard streams, the part of them that differs by platform.
#pragma once

// A reader that goes away (nestkeep-check | head -1) makes a write fail instead of ending the
// process, so that the exit status says the report could not be written.
void PrepareStandardStreams();
