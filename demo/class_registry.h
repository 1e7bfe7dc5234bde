// Every class the demo data names, one row each. Whoever needs a fact about
// the classes expands these rows and keeps the columns it uses: the player's
// class table the first four, the authoring tools the rest, so that no name
// meant for people is linked into the player. A new class is its files and
// its row here.
#pragma once

#include "demo/format.h"

// X(chunk id, load path, extra block id, factory,
//   name in descriptions, description writer, placeable as a Transform copy,
//   name in listings)
//
// The load path is a LoadPath enumerator (demo/class_table.h); the factory
// one of player/class_factories.h. Rows without a description name cannot be
// written by a description; rows without a listing name are none of inspect's
// resources. Descriptions list the classes in this order.
#define DEMO_CLASSES(X) \
    X(format::kTransform, Generic, 0, make<Transform>, "transform", writeTransform, true, "Transform") \
    X(format::kQuad, Generic, 0, make<Quad>, "quad", writeQuad, true, "Quad") \
    X(format::kBox, Generic, 0, make<Box>, "box", writeBox, false, "Box") \
    X(format::kCamera, Generic, 0, make<Camera>, "camera", writeCamera, false, "Camera") \
    X(format::kColor, Generic, 0, make<Color>, "color", writeColor, false, "Color") \
    X(format::kScale, Generic, 0, make<Scale>, "scale", writeScale, false, "Scale") \
    X(format::kTexture, WithExtra, format::envelope::kTextureImage, make<Texture>, \
      "texture", writeTexture, false, "Texture") \
    X(format::kTextureCopy, TextureCopy, format::envelope::kTextureImage, makeTextureCopy, \
      "textureCopy", writeTextureCopy, false, "Texture copy") \
    X(format::kSoundLibrary, Sound, 0, nullptr, "soundLibrary", nullptr, false, "SoundLibrary") \
    X(format::kMusicTrack, Music, format::envelope::kMusicFile, makeMusic, "music", writeMusic, false, "MusicTrack") \
    X(format::kGrid, Generic, 0, make<Grid>, "grid", writeGrid, false, "Grid") \
    X(format::kModel, WithExtra, format::envelope::kModelMeshes, makeWithTarget<Model>, \
      "model", writeModel, true, "Model") \
    X(format::kBlendMode, Generic, 0, make<BlendMode>, "blend", writeBlend, false, "BlendMode") \
    X(format::kMotionTrail, Generic, 0, make<MotionTrail>, "trail", writeTrail, false, "MotionTrail") \
    X(format::kPolygonMode, Generic, 0, make<PolygonMode>, "polygonMode", writePolygonMode, false, "PolygonMode") \
    X(format::kQuadric, Generic, 0, make<Quadric>, "quadric", writeQuadric, true, "Quadric") \
    X(format::kReplicator, Generic, 0, makeWithTarget<Replicator>, "replicator", writeReplicator, true, "Replicator") \
    X(format::kQuadSplitter, Generic, 0, makeWithTarget<QuadSplitter>, "splitter", writeSplitter, true, \
      "QuadSplitter") \
    X(format::kPieceAssembly, Generic, 0, makeWithTarget<PieceAssembly>, "assembly", writeAssembly, false, \
      "PieceAssembly") \
    X(format::kRipple, Generic, 0, make<Ripple>, "ripple", writeRipple, false, "Ripple") \
    /* its forces and spawners go into the target list too */ \
    X(format::kCollisionWorld, Generic, 0, makeWithTarget<CollisionWorld>, "world", writeWorld, false, \
      "CollisionWorld") \
    X(format::timeline::kEntry, Timeline, 0, nullptr, nullptr, nullptr, false, "TimelineEntry") \
    X(format::kSettingsImage, SettingsImage, 0, nullptr, nullptr, nullptr, false, "settings image") \
    /* made by timeline commands, never loaded */ \
    X(format::timeline::kScalarDynamic, TimelineCommand, 0, makeDynamic<ScalarDynamic>, \
      nullptr, nullptr, false, nullptr) \
    X(format::timeline::kTranslationDynamic, TimelineCommand, 0, makeDynamic<TranslationDynamic>, \
      nullptr, nullptr, false, nullptr) \
    X(format::timeline::kRotationDynamic, TimelineCommand, 0, makeDynamic<RotationDynamic>, \
      nullptr, nullptr, false, nullptr) \
    X(format::timeline::kPlaceTransformCopy, TimelineCommand, 0, make<Transform>, nullptr, nullptr, false, nullptr)

// Classes that another class makes while it loads, with no chunk of their
// own in the resource stream; descriptions still name them as the parents
// of dynamics. X(id, factory, name in descriptions); the id is the one they
// are made under (a sub-chunk) or, for model meshes, their type id.
#define DEMO_PART_CLASSES(X) \
    X(format::type::kTriangleMesh, make<TriangleMesh>, "mesh") \
    X(format::world::kForce, make<Force>, "force") \
    X(format::world::kSpawner, make<ImpactSpawner>, "spawner")
