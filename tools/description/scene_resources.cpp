// The description compiler's writers of the resources placed in the scene:
// transform, quad, box, camera, colour, scale, grid and model.
#include "tools/description/resources.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tools::description {

using namespace tools::writer;
using namespace tools::media;

// ---- Resource classes

TransformFields transformFields(Fields& f)
{
    TransformFields t;
    t.position = f.vec3("position", t.position);
    t.angles = f.vec3("angles", t.angles);
    t.axis1 = f.vec3("axis1", t.axis1);
    t.axis2 = f.vec3("axis2", t.axis2);
    t.axis3 = f.vec3("axis3", t.axis3);
    return t;
}

void writeTransform(Fields& f, Envelope& e, const ResourceContext&)
{
    e.body = transformPayload(transformFields(f));
}

void writeQuad(Fields& f, Envelope& e, const ResourceContext&)
{
    QuadFields quad;
    quad.transform = transformFields(f);
    const std::array<float, 4> color = f.color("color", {1, 1, 1, 1});
    const Value& corners = f.required("corners");
    if (!corners.isArray() || corners.items.size() != 4)
        fail(corners, f.place(), "'corners' must be a list of 4 corners");
    // Without texture coordinates the corners map the whole texture, in the
    // order a quad is usually wound.
    const float defaultUV[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (size_t i = 0; i < 4; ++i) {
        Fields c(corners.items[i], f.place() + ", corner " + std::to_string(i + 1));
        QuadCorner& corner = quad.corners[i];
        const Value& position = c.required("position");
        Vec3 p = floats<3>(position, c.place(), "'position'");
        corner.x = p[0];
        corner.y = p[1];
        corner.z = p[2];
        std::array<float, 2> uv = {defaultUV[i][0], defaultUV[i][1]};
        if (const Value* v = c.optional("uv"))
            uv = floats<2>(*v, c.place(), "'uv'");
        corner.u = uv[0];
        corner.v = uv[1];
        std::array<float, 4> own = c.color("color", color);
        corner.r = own[0];
        corner.g = own[1];
        corner.b = own[2];
        corner.a = own[3];
        c.finish();
    }
    e.body = quadPayload(quad);
}

void writeBox(Fields& f, Envelope& e, const ResourceContext&)
{
    BoxFields box;
    box.transform = transformFields(f);
    box.dimensions = f.vec3("size", box.dimensions);
    e.body = boxPayload(box);
}

void writeCamera(Fields& f, Envelope& e, const ResourceContext&)
{
    CameraPayload camera;
    auto into = [](float* to, const Vec3& v) { std::copy(v.begin(), v.end(), to); };
    into(camera.position, f.vec3("position", {camera.position[0], camera.position[1], camera.position[2]}));
    into(camera.centre, f.vec3("centre", {camera.centre[0], camera.centre[1], camera.centre[2]}));
    into(camera.up, f.vec3("up", {camera.up[0], camera.up[1], camera.up[2]}));
    into(camera.fadeColor, f.vec3("fadeColor", {camera.fadeColor[0], camera.fadeColor[1], camera.fadeColor[2]}));
    camera.fadeValue = f.real("fade", camera.fadeValue);
    camera.proximity = f.real("proximity", camera.proximity);
    e.body = cameraPayload(camera);
}

void writeColor(Fields& f, Envelope& e, const ResourceContext&)
{
    std::array<float, 4> c = rgba(f.required("color"), f.place(), "'color'");
    e.body = colorPayload({c[0], c[1], c[2], c[3]});
}

void writeScale(Fields& f, Envelope& e, const ResourceContext&)
{
    ScalePayload scale;
    if (const Value* v = f.optional("factor")) {
        if (v->isNumber()) {
            scale.x = scale.y = scale.z = real(*v, f.place(), "'factor'");
        } else if (v->isArray()) {
            Vec3 factors = floats<3>(*v, f.place(), "'factor'");
            scale = {factors[0], factors[1], factors[2]};
        } else {
            fail(*v, f.place(), "'factor' must be a number or a list of 3 numbers");
        }
    }
    e.body = scalePayload(scale);
}

void writeGrid(Fields& f, Envelope& e, const ResourceContext&)
{
    GridFields grid;
    grid.transform = transformFields(f);
    if (const Value* v = f.optional("size")) {
        std::array<float, 2> size = floats<2>(*v, f.place(), "'size'");
        grid.width = size[0];
        grid.height = size[1];
    }
    if (const Value* v = f.optional("cells")) {
        if (!v->isArray() || v->items.size() != 2)
            fail(*v, f.place(), "'cells' must be a list of 2 numbers, the cells along X and along Y");
        // A grid of more cells than the player builds would draw nothing.
        grid.cellsX = int16_t(integer(v->items[0], f.place(), "'cells'", 0, 1024));
        grid.cellsY = int16_t(integer(v->items[1], f.place(), "'cells'", 0, 1024));
    }
    e.body = gridPayload(grid);
}

// Mesh tags from the model's: "mdl" gives "mdl0", "mdl1"... shortened so
// that tag and number fit the 4 characters.
std::vector<std::string> generatedMeshTags(const std::string& tag, size_t count)
{
    const size_t digits = std::to_string(count > 0 ? count - 1 : 0).size();
    std::vector<std::string> tags;
    if (digits >= 4)
        return tags;
    const std::string prefix = tag.substr(0, 4 - digits);
    for (size_t i = 0; i < count; ++i)
        tags.push_back(prefix + std::to_string(i));
    return tags;
}

void writeModel(Fields& f, Envelope& e, const ResourceContext& c)
{
    const TransformFields placement = transformFields(f);
    const Value& file = f.required("file");
    const std::string& path = stringValue(file, f.place(), "'file'");
    if (path.empty())
        fail(file, f.place(), "'file' must not be empty");
    const Value* tagsValue = f.optional("meshTags");
    const Value* fitValue = f.optional("fit");
    float edge = 0;
    if (fitValue) {
        edge = description::real(*fitValue, f.place(), "'fit'");
        if (!(edge > 0))
            fail(*fitValue, f.place(), "'fit' is the edge of the cube the model is fitted into: a number above 0");
    }

    std::vector<MeshFields> meshes;
    std::string why;
    const std::string full = resolvedPath(path, c);
    if (!importModel(full, meshes, &why)) {
        std::string looked = full == path ? "" : " (looked for " + full + ")";
        fail(file, f.place(), "cannot import " + quoted(path) + looked + ": " + why);
    }

    std::vector<std::string> tags;
    if (tagsValue) {
        if (!tagsValue->isArray())
            fail(*tagsValue, f.place(), "'meshTags' must be a list of tags, one per mesh of the file");
        for (const Value& item : tagsValue->items) {
            std::string t = tagText(item, f.place(), "'meshTags'");
            if (std::find(tags.begin(), tags.end(), t) != tags.end())
                fail(item, f.place(), "'meshTags' names " + quoted(t) + " twice");
            tags.push_back(t);
        }
        if (meshes.size() > tags.size()) {
            fail(*tagsValue, f.place(),
                 quoted(path) + " has " + std::to_string(meshes.size()) + " meshes and 'meshTags' names " +
                     std::to_string(tags.size()));
        }
        tags.resize(meshes.size());
    } else {
        tags = generatedMeshTags(e.tag, meshes.size());
        if (tags.size() < meshes.size())
            fail(file, f.place(), quoted(path) + " has " + std::to_string(meshes.size()) +
                                      " meshes, too many to tag: name them with 'meshTags'");
    }
    if (fitValue)
        fitModel(meshes, edge);

    std::vector<std::pair<std::string, MeshFields>> tagged;
    for (size_t i = 0; i < meshes.size(); ++i)
        tagged.emplace_back(tags[i], std::move(meshes[i]));
    e.body = modelPayload(tagged);
    e.extraId = format::envelope::kModelMeshes;
    e.extra = transformPayload(placement);
    *c.alsoTagged = tags;
}

}  // namespace tools::description
