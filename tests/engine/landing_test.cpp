#include "scripted.h"

#include <gtest/gtest.h>
