#include "textfiles/cp1252.h"
