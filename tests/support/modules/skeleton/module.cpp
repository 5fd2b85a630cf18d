// tovi_SQLITE_EMB.so: the skeleton driver's one export.
#include "skeleton_driver.hpp"

TOVI_DRIVER_CREATE_DATA_SOURCE(tovi::skeleton::driver)
