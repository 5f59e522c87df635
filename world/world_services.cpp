#include "world/world_services.h"

WorldServices& Services() {
    static WorldServices services;
    return services;
}
