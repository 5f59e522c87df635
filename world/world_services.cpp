#include "world/world_services.h"

#include "world/world.h"

WorldServices& Services() {
    return CurrentWorld().services;
}
