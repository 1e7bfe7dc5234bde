// One existing object drawn many times: a Transform instance per copy, each
// holding the same source as its child, laid out on a circle or a lattice.
// The instances are resources of their own, so single copies can be addressed.
#pragma once

#include <cstdint>

#include "geometry/transform.h"

class Replicator : public Transform {
public:
    // registry: the list the source is looked up in and the instances are
    // entered in (the resource list), which owns them.
    explicit Replicator(ObjectList* registry);
    ~Replicator() override;

    // Sub-chunks 275 (placement), 329 (source tag), 328 (instance tags),
    // 326 (circle) and 327 (lattice), acting in the order they come.
    void load(const void* data, int32_t size) override;
    int step(bool stepOnly) override;
    int typeId() const override;
    // A replicator sharing the very same instances.
    SceneObject* clone() override;

    // angle in degrees; faceCentre turns each instance about its third axis.
    void layOutCircle(float angle, float radius, uint8_t faceCentre);
    void layOutLattice(const int16_t counts[3], const float spacing[3]);

    SceneObject* source = nullptr;
    ObjectList* registry;
    ObjectList* instances;  // borrowing, in creation order
    int32_t instanceCount = 0;

private:
    void createInstances(ChunkStream& stream, uint32_t length);
};
