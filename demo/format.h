// The numbers of the demo data, each in one place: where the data starts, the
// chunk ids at every level, the timeline's commands and the type ids objects
// report. The player, the tools and the fuzzers all spell the format with
// these; only tests that write bytes on purpose spell it with numbers.
#pragma once

#include <cstdint>

namespace format {

// Where the demo data starts in the player's executable.
constexpr uint32_t kDataOffset = 151552;

// ---- Top-level chunks
constexpr int16_t kWindowSettings = 2100;
constexpr int16_t kPlaybackSettings = 2101;
constexpr int16_t kResources = 2102;
constexpr int16_t kRenderState = 2103;
constexpr int16_t kTimeline = 2104;

namespace window {  // in kWindowSettings
constexpr int16_t kTitle = 4;
constexpr int16_t kSize = 2003;
constexpr int16_t kFullscreen = 2004;
}  // namespace window

namespace playback {  // in kPlaybackSettings
constexpr int16_t kFrameRate = 2000;
constexpr int16_t kCatchUp = 2001;
constexpr int16_t kLoop = 2002;
}  // namespace playback

namespace render {  // in kRenderState: one OpenGL call each
constexpr int16_t kShadeModel = 100;
constexpr int16_t kClearColor = 101;
constexpr int16_t kClearDepth = 102;
constexpr int16_t kDepthFunc = 103;
constexpr int16_t kHint = 104;
constexpr int16_t kEnable = 500;
}  // namespace render

// ---- Resource stream (kResources): one chunk per resource, by class
constexpr int16_t kColor = 3;
constexpr int16_t kModel = 109;
constexpr int16_t kScale = 150;
constexpr int16_t kQuad = 160;
constexpr int16_t kGrid = 170;
constexpr int16_t kTexture = 200;
constexpr int16_t kTextureCopy = 202;
constexpr int16_t kBox = 250;
constexpr int16_t kTransform = 275;
constexpr int16_t kCamera = 300;
constexpr int16_t kReplicator = 325;
constexpr int16_t kBlendMode = 340;
constexpr int16_t kMotionTrail = 341;
constexpr int16_t kPolygonMode = 345;
constexpr int16_t kQuadSplitter = 350;
constexpr int16_t kPieceAssembly = 355;
constexpr int16_t kQuadric = 400;
constexpr int16_t kCollisionWorld = 420;
constexpr int16_t kRipple = 450;
constexpr int16_t kMusicTrack = 461;
constexpr int16_t kSoundLibrary = 463;  // a bare file image, no envelope
// A settings image in the resource or timeline stream: bytes copied onto the
// settings record.
constexpr int16_t kSettingsImage = kPlaybackSettings;

namespace envelope {  // what wraps a resource's payload
constexpr int16_t kTag = 1;
constexpr int16_t kBody = 8;
constexpr int16_t kSourceTag = 9;  // texture copies: the texture copied
// Extra blocks, each loaded after the body (the music's before it).
constexpr int16_t kModelMeshes = 110;
constexpr int16_t kTextureImage = 201;
constexpr int16_t kMusicFile = 462;
}  // namespace envelope

// ---- Timeline stream (kTimeline)
namespace timeline {
constexpr int16_t kEntry = 25;  // start frame, then a command stream
// Total frames: a settings image of two bytes.
constexpr int16_t kTotalFrames = kSettingsImage;
constexpr int16_t kGroup = 1000;
constexpr int16_t kPlaceClone = 1001;
constexpr int16_t kScalarDynamic = 1002;
constexpr int16_t kTranslationDynamic = 1003;
constexpr int16_t kRotationDynamic = 1004;
constexpr int16_t kPlaceTransformCopy = 1005;
constexpr int16_t kFastForwardInstance = 1006;
constexpr int16_t kFastForwardResource = 1007;
}  // namespace timeline

// ---- Sub-chunks of object payloads
namespace transform {
constexpr int16_t kPosition = 5;
constexpr int16_t kAngles = 6;
constexpr int16_t kAxis1 = 10;
constexpr int16_t kAxis2 = 11;
constexpr int16_t kAxis3 = 12;
// A shape's own placement: a transform payload nested in the shape's.
constexpr int16_t kNested = kTransform;
}  // namespace transform

namespace quad {
constexpr int16_t kCorners = 161;
}  // namespace quad

namespace grid {
constexpr int16_t kCells = 171;
}  // namespace grid

namespace mesh {
constexpr int16_t kVertices = 101;
constexpr int16_t kVertexIndices = 104;
constexpr int16_t kTexCoords = 105;
constexpr int16_t kTexCoordIndices = 108;
}  // namespace mesh

namespace model {  // in the kModelMeshes extra block
constexpr int16_t kMesh = 107;  // a tag chunk, then a mesh payload
}  // namespace model

namespace box {
constexpr int16_t kSize = 251;
}  // namespace box

namespace camera {
constexpr int16_t kPosition = 301;
constexpr int16_t kUp = 302;
constexpr int16_t kCentre = 303;
constexpr int16_t kFade = 304;
constexpr int16_t kProximity = 305;
}  // namespace camera

namespace replicator {
constexpr int16_t kCircle = 326;
constexpr int16_t kLattice = 327;
constexpr int16_t kInstanceTags = 328;
constexpr int16_t kSource = 329;
}  // namespace replicator

namespace splitter {
constexpr int16_t kCentreTiles = 13;
constexpr int16_t kTileTags = 351;
constexpr int16_t kSource = 352;
}  // namespace splitter

namespace assembly {
constexpr int16_t kFlight = 8;
constexpr int16_t kSeed = 14;
constexpr int16_t kSource = splitter::kSource;
}  // namespace assembly

namespace quadric {
constexpr int16_t kSizes = 8;
constexpr int16_t kGluState = 15;
constexpr int16_t kCylinder = 401;
constexpr int16_t kCone = 402;
constexpr int16_t kSphere = 403;
constexpr int16_t kDisk = 404;
constexpr int16_t kPartialDisk = 405;
}  // namespace quadric

namespace world {  // in a collision world's payload
constexpr int16_t kForce = 421;
constexpr int16_t kRolling = 422;
constexpr int16_t kSpawner = 423;
}  // namespace world

namespace ripple {
constexpr int16_t kWave = 15;
constexpr int16_t kCentre = 16;
}  // namespace ripple

namespace texture {  // the texture parameter stream
constexpr int16_t kBorderColor = 3;
constexpr int16_t kBuildMipmaps = 203;
constexpr int16_t kUpload = 204;
constexpr int16_t kSetLevel = 205;
constexpr int16_t kSetBorder = 206;
}  // namespace texture

namespace music {  // in the kMusicFile extra block
constexpr int16_t kFileName = 4;
constexpr int16_t kVolume = 8;
constexpr int16_t kFrameRate = 17;
}  // namespace music

// ---- Type ids (SceneObject::typeId); 0 for the base and the classes that
// do not override it.
namespace type {
constexpr int kColor = 3;
constexpr int kScale = 150;
constexpr int kGrid = 170;
constexpr int kTriangleMesh = 172;
constexpr int kQuadMesh = 173;
constexpr int kTexture = 200;
constexpr int kBox = 250;
constexpr int kTransform = 275;  // also Quad, Mesh, Model and QuadSplitter
constexpr int kCamera = 300;
constexpr int kReplicator = 325;
constexpr int kBlendMode = 340;  // also MotionTrail
constexpr int kDynamic = 348;    // also ScalarDynamic and RotationDynamic
constexpr int kTranslationDynamic = 349;
constexpr int kPieceAssembly = 355;
constexpr int kQuadric = 400;
constexpr int kForce = 421;
constexpr int kImpactSpawner = 423;
constexpr int kRipple = 450;
}  // namespace type

}  // namespace format
