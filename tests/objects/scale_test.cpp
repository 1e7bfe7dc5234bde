#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "objects/scale.h"
#include "tests/objects/probe.h"
#include "tools/writer/object_payloads.h"

using namespace tools::writer;

namespace {

std::vector<float> factorsOf(const Scale& scale)
{
    return {scale.factors, scale.factors + 3};
}

// Draws a red square of half-size `half` at distance 5, under `scale` when given.
Picture drawSquare(float half, Scale* scale, int width, int height)
{
    auto* square = new Probe(half);
    square->setPaint(1, 0, 0);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    if (scale) {
        scale->children->append("SQUR", square);
        scale->step(false);
    } else {
        square->step(false);
        delete square;
    }
    return Picture::read(width, height);
}

int redPixels(const Picture& p)
{
    int n = 0;
    for (size_t i = 0; i < p.rgba.size(); i += 4)
        n += p.rgba[i] > 200;
    return n;
}

using ScaleDraw = GLTest;

}  // namespace

TEST(ScaleParameters, AxesFirstThenTheVectorName)
{
    Scale scale;
    const char* names[] = {"Valor X", "Valor Y", "Valor Z", "Valor"};
    const float* fields[] = {&scale.factors[0], &scale.factors[1], &scale.factors[2], &scale.factors[0]};
    ASSERT_EQ(4, scale.parameters->count());
    int i = 0;
    for (void* item = scale.parameters->first(); item; item = scale.parameters->next(), ++i) {
        EXPECT_STREQ(names[i], scale.parameters->currentTag());
        EXPECT_EQ(fields[i], item);
    }
    EXPECT_EQ(150, scale.typeId());
    EXPECT_EQ((std::vector<float>{1, 1, 1}), factorsOf(scale));
}

TEST(ScalePayload, RoundTripsAndShortPayloadsKeepTheFactors)
{
    Bytes bytes = scalePayload({0.01f, 0.2f, 3});
    EXPECT_EQ(13u, bytes.size());
    Scale scale;
    scale.load(bytes.data(), int32_t(bytes.size()));
    EXPECT_EQ((std::vector<float>{0.01f, 0.2f, 3}), factorsOf(scale));

    for (int32_t cut = 0; cut < 12; ++cut) {
        Scale other;
        // The real bytes follow the cut: a read past it would change a factor.
        other.load(bytes.data(), cut);
        EXPECT_EQ((std::vector<float>{1, 1, 1}), factorsOf(other)) << cut;
    }
    Scale exact;
    exact.load(bytes.data(), 12);
    EXPECT_EQ((std::vector<float>{0.01f, 0.2f, 3}), factorsOf(exact));
}

TEST_F(ScaleDraw, OneHundredthShrinksSizeOneHundredToSizeOne)
{
    Picture unscaledBig = drawSquare(50, nullptr, kWidth, kHeight);
    EXPECT_EQ(kWidth * kHeight, redPixels(unscaledBig));

    Picture small = drawSquare(0.5f, nullptr, kWidth, kHeight);
    Scale scale;
    float hundredth[3] = {0.01f, 0.01f, 0.01f};
    Bytes payload = scalePayload({0.01f, 0.01f, 0.01f});
    scale.load(payload.data(), int32_t(payload.size()));
    EXPECT_EQ(0, std::memcmp(hundredth, scale.factors, sizeof hundredth));
    Picture scaled = drawSquare(50, &scale, kWidth, kHeight);
    EXPECT_GT(redPixels(small), 50);
    EXPECT_LT(redPixels(small), kWidth * kHeight / 4);
    EXPECT_TRUE(small == scaled) << redPixels(small) << " vs " << redPixels(scaled);
}

TEST_F(ScaleDraw, ChildrenSeeTheScaleAndTheMatrixIsRestored)
{
    for (bool stepOnly : {false, true}) {
        Scale scale;
        scale.factors[0] = 2, scale.factors[1] = 3, scale.factors[2] = 0.5f;
        auto* probe = new Probe(0);
        scale.children->append("PROB", probe);
        glLoadIdentity();
        glTranslatef(1, 2, -7);
        glRotatef(40, 1, 0, 0);
        auto before = modelview();
        GLint depth = modelviewDepth();
        EXPECT_EQ(1, scale.step(stepOnly));
        EXPECT_EQ(before, modelview());
        EXPECT_EQ(depth, modelviewDepth());
        ASSERT_EQ(1, probe->steps);
        if (stepOnly) {
            // Nothing pushed, nothing scaled.
            EXPECT_EQ(depth, probe->stackDepth);
            EXPECT_EQ(0, std::memcmp(before.data(), probe->matrix, sizeof probe->matrix));
        } else {
            EXPECT_EQ(depth + 1, probe->stackDepth);
            for (int c = 0; c < 3; ++c)
                for (int r = 0; r < 4; ++r)
                    EXPECT_FLOAT_EQ(before[size_t(4 * c + r)] * scale.factors[c], probe->matrix[4 * c + r]);
            for (int r = 0; r < 4; ++r)
                EXPECT_FLOAT_EQ(before[size_t(12 + r)], probe->matrix[12 + r]);
        }
    }
}

TEST_F(ScaleDraw, ANewScaleLeavesTheMatrixAlone)
{
    Scale scale;
    auto* probe = new Probe(0);
    scale.children->append("PROB", probe);
    glLoadIdentity();
    glTranslatef(1, 2, -7);
    glRotatef(25, 0, 0, 1);
    auto before = modelview();
    scale.step(false);
    EXPECT_EQ(0, std::memcmp(before.data(), probe->matrix, sizeof probe->matrix));
}

TEST(ScaleClone, OnlyTheFactors)
{
    Scale scale;
    scale.factors[0] = 0.2f, scale.factors[1] = 0.3f, scale.factors[2] = 0.4f;
    scale.stepCount = 6, scale.start = 1, scale.length = 10, scale.frame = 4;
    scale.isCopy = 1;
    scale.transformApplied = 1;
    std::strcpy(scale.path, "s.bin");
    std::strcpy(scale.dataPath, "s.dat");
    scale.children->append("ONE", new Probe);

    SceneObject* made = scale.clone();
    auto* copy = dynamic_cast<Scale*>(made);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ((std::vector<float>{0.2f, 0.3f, 0.4f}), factorsOf(*copy));
    EXPECT_EQ(0, copy->children->count());
    EXPECT_EQ(0, copy->isCopy);
    EXPECT_EQ(0, copy->transformApplied);
    EXPECT_STREQ("", copy->path);
    EXPECT_STREQ("", copy->dataPath);
    EXPECT_EQ(0, copy->stepCount);
    EXPECT_EQ(0, copy->start);
    EXPECT_EQ(0, copy->length);
    EXPECT_EQ(0, copy->frame);
    EXPECT_EQ(&copy->factors[0], copy->parameters->find("Valor"));
    delete made;
}
