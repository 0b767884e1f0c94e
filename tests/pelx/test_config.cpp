#include "pelxtest.h"
