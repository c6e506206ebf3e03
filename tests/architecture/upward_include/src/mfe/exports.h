#pragma once
#include "codec/frame.h"
