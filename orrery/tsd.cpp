#include "orrery/tsd.h"
