#include "pelxfixture.h"
