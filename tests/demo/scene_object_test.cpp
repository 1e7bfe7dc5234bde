#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo/scene_object.h"
#include "tests/support/gl_fixture.h"

TEST(SceneObjectStep, LengthCountsTheLifetime)
{
    SceneObject object;
    object.length = 3;
    object.frame = 1;
    EXPECT_EQ(1, object.step(false));
    EXPECT_EQ(1, object.step(true));
    EXPECT_EQ(0, object.step(false));
    EXPECT_EQ(0, object.frame);

    SceneObject forever;
    forever.frame = 4;
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(1, forever.step(i % 2 == 0));
    EXPECT_EQ(4, forever.frame);
    EXPECT_EQ(50, forever.stepCount);
}

TEST(SceneObjectStep, ChildStartsOnTheParentsClocks)
{
    for (bool stepOnly : {false, true}) {
        std::vector<std::string> log;
        SceneObject parent;
        parent.length = 100;
        parent.frame = 1;
        auto* child = new RecordingObject("c", &log);
        child->start = 5;
        parent.children->append("CHLD", child);
        int firstStep = 0;
        for (int k = 1; k <= 10 && !firstStep; ++k) {
            parent.step(stepOnly);
            if (!log.empty())
                firstStep = k;
        }
        // Drawing passes use the parent's frame; step-only passes its step count.
        EXPECT_EQ(stepOnly ? 6 : 5, firstStep) << (stepOnly ? "step-only" : "drawing");
    }
}

TEST(SceneObjectStep, EndedChildrenAreRemovedAndTheWalkGoesOn)
{
    std::vector<std::string> log;
    int destroyed = 0;
    SceneObject parent;
    auto* a = new RecordingObject("a", &log, &destroyed);
    auto* b = new RecordingObject("b", &log, &destroyed);
    auto* c = new RecordingObject("c", &log, &destroyed);
    b->length = 1;
    parent.children->append("A", a);
    parent.children->append("B", b);
    parent.children->append("C", c);
    parent.step(false);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), log);
    EXPECT_EQ(1, destroyed);
    EXPECT_EQ(2, parent.children->count());
    log.clear();
    parent.step(true);
    EXPECT_EQ((std::vector<std::string>{"a~", "c~"}), log);
}

TEST(SceneObjectStep, SkipFramesStepsOnlyAndKeepsTheEndedObject)
{
    std::vector<std::string> log;
    RecordingObject object("o", &log);
    object.skipFrames(0);
    object.skipFrames(-3);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(0, object.stepCount);

    object.length = 2;
    object.frame = 1;
    object.skipFrames(5);
    EXPECT_EQ(5u, log.size());
    EXPECT_EQ("o~", log[0]);
    EXPECT_EQ(0, object.step(false));  // still past its length
}

TEST(SceneObjectStep, CountersWrapAt16Bits)
{
    SceneObject object;
    object.stepCount = 32767;
    object.step(true);
    EXPECT_EQ(-32768, object.stepCount);
}

TEST(SceneObjectCopy, CopiesBaseFieldsAndClonesChildrenInOrder)
{
    SceneObject source;
    source.start = 3;
    source.length = 9;
    source.frame = 4;
    source.stepCount = 2;
    source.transformApplied = 1;
    std::snprintf(source.path, sizeof source.path, "%s", "a/b.x");
    std::snprintf(source.dataPath, sizeof source.dataPath, "%s", "a/b.dat");
    source.children->append("ONE_", new RecordingObject("1"));
    source.children->append("BASE", new SceneObject);  // clones to none: left out
    source.children->append("TWO_", new RecordingObject("2"));
    source.children->append("THRE", new RecordingObject("3"));

    RecordingObject copy("copy");
    source.copyInto(&copy);
    EXPECT_EQ(1, copy.isCopy);
    EXPECT_EQ(0, source.isCopy);
    EXPECT_EQ(3, copy.start);
    EXPECT_EQ(9, copy.length);
    EXPECT_EQ(4, copy.frame);
    EXPECT_EQ(2, copy.stepCount);
    EXPECT_EQ(1, copy.transformApplied);
    EXPECT_STREQ("a/b.x", copy.path);
    EXPECT_STREQ("a/b.dat", copy.dataPath);

    std::vector<std::string> got;
    for (void* p = copy.children->first(); p; p = copy.children->next())
        got.push_back(std::string(copy.children->currentTag()) + "=" + static_cast<RecordingObject*>(p)->name);
    EXPECT_EQ((std::vector<std::string>{"ONE_=1", "TWO_=2", "THRE=3"}), got);
    EXPECT_NE(source.children->find("ONE_"), copy.children->find("ONE_"));
}

TEST(SceneObjectLifetime, DestroyingAnObjectDestroysItsSubtree)
{
    int destroyed = 0;
    auto* root = new RecordingObject("r", nullptr, &destroyed);
    auto* mid = new RecordingObject("m", nullptr, &destroyed);
    mid->children->add(new RecordingObject("l1", nullptr, &destroyed));
    mid->children->add(new RecordingObject("l2", nullptr, &destroyed));
    root->children->add(mid);
    SceneObject::destroy(root);
    EXPECT_EQ(4, destroyed);
}

TEST(SceneObjectLoadFile, LoadsTheWholeFileAndRemembersThePath)
{
    struct Loader : SceneObject {
        std::string body, extra;
        void load(const void* d, int32_t n) override { body.assign(static_cast<const char*>(d), size_t(n)); }
        void loadExtra(const void* d, int32_t n) override { extra.assign(static_cast<const char*>(d), size_t(n)); }
    } object;
    std::string path = ::testing::TempDir() + "scene_object_load.bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f);
    std::fputs("payload", f);
    std::fclose(f);

    object.loadFile("/nonexistent/file");
    EXPECT_STREQ("", object.path);
    object.loadFile(path.c_str());
    EXPECT_EQ("payload", object.body);
    EXPECT_EQ(path, object.path);
    object.loadExtraFile(path.c_str());
    EXPECT_EQ("payload", object.extra);
    std::remove(path.c_str());
}
