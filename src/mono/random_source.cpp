#include "mono/random_source.h"

RandomSource g_random;
