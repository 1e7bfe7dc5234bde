#include "objects/scale.h"

#include <GL/gl.h>

#include <cstring>

#include "demo/chunk_stream.h"
#include "demo/format.h"

// "Valor" comes last and addresses the x factor, so a vector dynamic reaches
// all three.
Scale::Scale()
{
    parameters->append("Valor X", &factors[0]);
    parameters->append("Valor Y", &factors[1]);
    parameters->append("Valor Z", &factors[2]);
    parameters->append("Valor", &factors[0]);
    describeFloats(factors, 3);
}

// Three floats; bytes after them are ignored, fewer leave the factors as they were.
void Scale::load(const void* data, int32_t size)
{
    ChunkStream(data, size).read(factors, sizeof factors, 0);
}

void Scale::apply()
{
    glPushMatrix();
    glScalef(factors[0], factors[1], factors[2]);
}

int Scale::step(bool stepOnly)
{
    if (stepOnly)
        return SceneObject::step(true);
    apply();
    int result = SceneObject::step(false);
    glPopMatrix();
    return result;
}

int Scale::typeId() const
{
    return format::type::kScale;
}

// Only the factors: the timeline gives the instance its counters and children.
SceneObject* Scale::clone()
{
    Scale* copy = new Scale;
    std::memcpy(copy->factors, factors, sizeof factors);
    return copy;
}
