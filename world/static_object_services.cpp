#include "world/static_object_services.h"

#include "world/world.h"

StaticObjectServices& StaticServices() {
    return CurrentWorld().staticServices;
}

uint32_t& CurrentRegion() {
    return CurrentWorld().region;
}
