#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "objects/color.h"
#include "platform/test_double.h"
#include "tests/objects/probe.h"
#include "tools/writer/object_payloads.h"

using namespace tools::writer;

namespace {

std::vector<float> currentColor()
{
    std::vector<float> c(4);
    glGetFloatv(GL_CURRENT_COLOR, c.data());
    return c;
}

std::vector<float> componentsOf(const Color& color)
{
    return {color.components, color.components + 4};
}

// Sets its parent colour's alpha through the parameter list, as a dynamic
// does, and re-issues the colour for the siblings after it.
class AlphaChanger : public SceneObject {
public:
    AlphaChanger(Color* target, float alpha) : target(target), alpha(alpha) {}
    int step(bool stepOnly) override
    {
        *static_cast<float*>(target->parameters->find("COLOR A")) = alpha;
        if (!stepOnly)
            target->apply();
        return SceneObject::step(stepOnly);
    }
    Color* target;
    float alpha;
};

using ColorDraw = GLTest;

}  // namespace

TEST(ColorParameters, FourNamesInOrderAddressingTheComponents)
{
    Color color;
    const char* names[] = {"COLOR R", "COLOR G", "COLOR B", "COLOR A"};
    ASSERT_EQ(4, color.parameters->count());
    int i = 0;
    for (void* item = color.parameters->first(); item; item = color.parameters->next(), ++i) {
        EXPECT_STREQ(names[i], color.parameters->currentTag());
        EXPECT_EQ(&color.components[i], item);
    }
    EXPECT_EQ(3, color.typeId());
}

TEST(ColorPayload, RoundTripsAndIgnoresBytesAfterTheSixteenth)
{
    Bytes bytes = colorPayload({0.4f, 0.2f, 0, 1});
    EXPECT_EQ(17u, bytes.size());
    Color color;
    color.load(bytes.data(), int32_t(bytes.size()));
    EXPECT_EQ((std::vector<float>{0.4f, 0.2f, 0, 1}), componentsOf(color));

    Bytes longer = cat({colorPayload({1, 0.5f, 0, 0}), f32(9), f32(9)});
    color.load(longer.data(), int32_t(longer.size()));
    EXPECT_EQ((std::vector<float>{1, 0.5f, 0, 0}), componentsOf(color));
}

TEST(ColorPayload, ShortPayloadsLeaveTheColourAsItWas)
{
    Bytes whole = colorPayload({0.25f, 0.5f, 0.75f, 0.125f});
    for (int32_t cut = 0; cut < 16; ++cut) {
        Color color;
        color.components[0] = 9;
        // The real bytes follow the cut: a read past it would change the colour.
        color.load(whole.data(), cut);
        EXPECT_EQ((std::vector<float>{9, 1, 1, 1}), componentsOf(color)) << cut;
    }
    Color color;
    color.load(whole.data(), 16);
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 0.75f, 0.125f}), componentsOf(color));
    color.load(nullptr, 16);
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 0.75f, 0.125f}), componentsOf(color));
}

TEST_F(ColorDraw, ChildrenDrawInTheColourAndItStaysCurrent)
{
    Color color;
    color.components[0] = 0, color.components[1] = 1, color.components[2] = 0;
    color.components[3] = 1;
    auto* square = new Probe(0.5f);
    color.children->append("SQUR", square);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    glColor4f(1, 0, 0, 1);
    auto before = modelview();
    EXPECT_EQ(1, color.step(false));
    EXPECT_EQ(before, modelview());

    Picture p = Picture::read(kWidth, kHeight);
    const uint8_t* centre = p.at(kWidth / 2, kHeight / 2);
    EXPECT_EQ(0, centre[0]);
    EXPECT_EQ(255, centre[1]);
    EXPECT_EQ(0, centre[2]);
    EXPECT_EQ(0, p.at(1, 1)[1]);
    EXPECT_EQ((std::vector<float>{0, 1, 0, 1}), currentColor());
}

TEST_F(ColorDraw, AlphaBlendsWhatIsDrawnUnderIt)
{
    Color color;
    color.components[3] = 0.5f;  // white at half weight
    color.children->append("SQUR", new Probe(0.5f));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    color.step(false);
    glDisable(GL_BLEND);
    Picture p = Picture::read(kWidth, kHeight);
    EXPECT_NEAR(128, p.at(kWidth / 2, kHeight / 2)[0], 2 * channelStep() + 1);
}

TEST_F(ColorDraw, StepOnlyStillSetsTheColour)
{
    Color color;
    color.components[0] = 0.25f, color.components[1] = 0.5f, color.components[2] = 0.75f;
    color.components[3] = 0.125f;
    color.length = 1;
    auto* probe = new Probe(0);
    color.children->append("PROB", probe);
    glColor4f(1, 1, 1, 1);
    EXPECT_EQ(0, color.step(true));
    EXPECT_EQ((std::vector<float>{0.25f, 0.5f, 0.75f, 0.125f}), currentColor());
    EXPECT_EQ(1, probe->steps);
    EXPECT_TRUE(probe->lastStepOnly);
    // The child saw the colour already set.
    EXPECT_EQ(0.125f, probe->color[3]);
}

TEST_F(ColorDraw, ANewAlphaReachesTheSiblingsAfterTheChange)
{
    Color color;
    color.children->append("FIRS", new Probe(0));
    color.children->append("CHNG", new AlphaChanger(&color, 0.25f));
    color.children->append("LAST", new Probe(0));
    color.step(false);
    auto* first = static_cast<Probe*>(color.children->find("FIRS"));
    auto* last = static_cast<Probe*>(color.children->find("LAST"));
    EXPECT_EQ(1.0f, first->color[3]);
    EXPECT_EQ((std::vector<float>{1, 1, 1, 0.25f}), std::vector<float>(last->color, last->color + 4));
}

TEST(ColorClone, CopiesBaseFieldsChildrenAndComponents)
{
    Color color;
    color.components[0] = 0.1f, color.components[1] = 0.2f;
    color.components[2] = 0.3f, color.components[3] = 0.4f;
    color.stepCount = 5, color.start = 3, color.length = 8, color.frame = 2;
    std::strcpy(color.path, "c.bin");
    std::strcpy(color.dataPath, "c.dat");
    color.children->append("ONE", new Probe(0.1f));
    color.children->append("TWO", new Probe(0.2f));

    SceneObject* made = color.clone();
    auto* copy = dynamic_cast<Color*>(made);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ((std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}), componentsOf(*copy));
    EXPECT_EQ(1, copy->isCopy);
    EXPECT_STREQ("c.bin", copy->path);
    EXPECT_STREQ("c.dat", copy->dataPath);
    EXPECT_EQ(5, copy->stepCount);
    EXPECT_EQ(3, copy->start);
    EXPECT_EQ(8, copy->length);
    EXPECT_EQ(2, copy->frame);
    ASSERT_EQ(2, copy->children->count());
    auto* one = static_cast<Probe*>(copy->children->find("ONE"));
    auto* two = static_cast<Probe*>(copy->children->find("TWO"));
    ASSERT_TRUE(one && two);
    EXPECT_EQ(0.1f, one->half);
    EXPECT_EQ(0.2f, two->half);
    EXPECT_NE(color.children->find("ONE"), one);
    EXPECT_EQ(&copy->components[3], copy->parameters->find("COLOR A"));
    delete made;
}
