// The tool runner now lives with the pipe driver; kept for older includes.
#pragma once

#include "e2e_driver.h"
