#include "textfiles/textfiles.h"
