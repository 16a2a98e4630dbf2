#include "programming/encoders.h"
