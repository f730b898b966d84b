#include "Properties.h"
