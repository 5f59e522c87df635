#include "world/static_object_services.h"

StaticObjectServices& StaticServices() {
    static StaticObjectServices services;
    return services;
}

uint32_t& CurrentRegion() {
    static uint32_t region = 1;
    return region;
}
