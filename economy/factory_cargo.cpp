#include "economy/factory_cargo.h"

#include "economy/factory.h"
#include "transport/station.h"
#include "vehicles/vehicle_loading.h"
#include "world/object_manager.h"

#include <set>

namespace {

Factory* FactoryOf(ObjectHandle id) {
    return dynamic_cast<Factory*>(BuildingFromId(id));
}

} // namespace

void InstallFactoryCargoHooks() {
    VehicleCargoHooks& hooks = GetVehicleCargoHooks();
    hooks.waiting = [](ObjectHandle id, bool mail) -> const std::map<ObjectHandle, uint32_t>* {
        const Factory* factory = FactoryOf(id);
        if (!factory)
            return nullptr;
        return mail ? &factory->GetMailWaiting() : &factory->GetPassengersWaiting();
    };
    hooks.take = [](ObjectHandle id, ObjectHandle destination, bool mail, uint32_t n) {
        if (Factory* factory = FactoryOf(id)) {
            if (mail)
                factory->TakeMail(destination, n);
            else
                factory->TakePassengers(destination, n);
        }
    };
    hooks.demand = [](ObjectHandle id, int32_t product) {
        const Factory* factory = FactoryOf(id);
        return factory ? factory->GetDemandFactor(product) : 0.0f;
    };
    hooks.takeProduct = [](const Station& station, int32_t product) {
        std::set<ObjectHandle> linked;
        station.GetLinkedFactories(linked);
        for (ObjectHandle id : linked)
            if (Factory* factory = FactoryOf(id);
                factory && factory->ProducesProduct(product) && factory->TakeUnit(product))
                return true;
        return false;
    };
}

void UninstallFactoryCargoHooks() {
    GetVehicleCargoHooks() = VehicleCargoHooks{};
}
