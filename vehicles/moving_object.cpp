#include "vehicles/moving_object.h"

#include "data/generated/vehicle_tables.h"
#include "world/game_clock.h"
#include "world/object_manager.h"

uint32_t MovingObject::GetSpeed() const {
    const VehicleConstantsRow* row = VehicleConstantsTable::Find(0);
    return row && row->MinimumSpeed > 0 ? uint32_t(row->MinimumSpeed) : 0;
}

void MovingObject::WakeNow() {
    nextWake_ = CurrentGameTimeMs();
}

MovingObject* GetMovingObject(ObjectHandle id) {
    return dynamic_cast<MovingObject*>(MovingObjectFromId(id));
}

uint32_t MovingObjectSlotCount() {
    return MapObjectSlotCount(kCategoryMoving);
}

MovingObject* MovingObjectAtSlot(uint32_t slot) {
    return dynamic_cast<MovingObject*>(MovingObjectFromId(MakeObjectHandle(kCategoryMoving, slot)));
}

void UpdateMovingObjects(uint32_t now) {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot) {
        MovingObject* object = MovingObjectAtSlot(slot);
        if (object && object->IsAwake(now))
            object->Update(now);
    }
    RemoveFinishedMovingObjects();
}

void RemoveFinishedMovingObjects() {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot) {
        MovingObject* object = MovingObjectAtSlot(slot);
        if (object && object->IsReadyToBeRemoved())
            DeleteMapObject(object->GetId());
    }
}

void DeleteAllMovingObjects() {
    for (uint32_t slot = 0; slot < MovingObjectSlotCount(); ++slot)
        if (MovingObject* object = MovingObjectAtSlot(slot))
            DeleteMapObject(object->GetId());
}
