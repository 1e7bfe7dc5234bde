// Texture objects: a node binds its OpenGL texture around its children, so
// everything they draw is textured with it. Images are 8-bit RGB, rows bottom
// first and tightly packed.
#pragma once

#include <cstdint>

#include "demo/scene_object.h"
#include "texture/image_record.h"

// Level 0 of the texture `name`, left bound to GL_TEXTURE_2D. Name 0 (nothing
// uploaded yet) gives an empty image rather than whatever the default texture
// holds.
ImageRecord readBackImage(uint32_t name);

class TextureNode : public SceneObject {
public:
    TextureNode() = default;
    // Deletes the texture name unless it is shared (isCopy).
    ~TextureNode() override;

    // Enables 2D texturing and binds the texture while the children step,
    // then disables texturing. A step-only pass makes no GL call.
    int step(bool stepOnly) override;
    // Applies a texture parameter stream: the image is read back, the texture
    // replaced by a fresh one, and the stream's chunks set its parameters and
    // upload the image again (203, 204). No data at all (null: the resource
    // had no parameter stream) leaves the texture as it is.
    void loadExtra(const void* data, int32_t size) override;
    // A TextureNode sharing this texture name.
    SceneObject* clone() override;

    // 0 until the first upload; GL ignores 0 on deletion.
    uint32_t textureName = 0;

protected:
    // Releases the current name if this node owns it, generates a fresh one
    // and binds it; the node owns the new name.
    void replaceTextureName();
};

class Texture : public TextureNode {
public:
    Texture() = default;
    // Texture from texture: copies the image of `source`, then applies the
    // parameter stream. A source that is missing or is no texture gives a
    // texture without image.
    Texture(SceneObject* source, const void* parameters, int32_t size);

    // The bytes of a 24-bit uncompressed BMP file; anything else is ignored
    // silently and leaves no texture.
    void load(const void* data, int32_t size) override;
    // A BMP file through the BMP reader, then the parameter file beside it
    // (same name, extension ".dat").
    void loadFile(const char* path) override;
    int typeId() const override;

};
