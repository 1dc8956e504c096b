// TEMPORARY: replaced by the configuration work.
#include "plugin/config/Config.h"
bool ReadConfig() { return false; }
