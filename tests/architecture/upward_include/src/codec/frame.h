#pragma once
#include <string>
#include "taviksat/taviksat.h"
#include "mfe/exports.h"
