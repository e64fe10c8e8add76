#include "algorithms/sparameters.h"

#include <gtest/gtest.h>

using namespace Algorithms;

namespace {
SParametersTwoPort twoPort(size_t n)
{
    SParametersTwoPort s;
    RealVector f;
    ComplexVector a, b, c, d;
    for (size_t i = 0; i < n; ++i) {
        f.push_back(1e9 * (i + 1));
        a.push_back({double(i), 1});
        b.push_back({double(i), 2});
        c.push_back({double(i), 3});
        d.push_back({double(i), 4});
    }
    s.setFrequency(f);
    s.setS11(a);
    s.setS12(b);
    s.setS21(c);
    s.setS22(d);
    return s;
}
} // namespace

TEST(SParameters, ValidityNeedsEqualSizesOfAtLeastThree)
{
    EXPECT_FALSE(SParametersOnePort().isValid());
    EXPECT_TRUE(twoPort(3).isValid());
    EXPECT_FALSE(twoPort(2).isValid());
    EXPECT_EQ(twoPort(3).pointsCount(), 3u);

    SParametersTwoPort s = twoPort(4);
    s.s21().pop_back();
    EXPECT_FALSE(s.isValid());
    EXPECT_FALSE(s.pointsCount().has_value());
    const auto before = s.s11();
    s.swapPorts();
    EXPECT_EQ(s.s11(), before);

    // The one-port view of a two-port still judges all four vectors.
    const SParametersOnePort &base = s;
    EXPECT_FALSE(base.isValid());
}

TEST(SParameters, ResizeKeepsPrefixAndPadsWithZeros)
{
    SParametersTwoPort s = twoPort(3);
    s.resize(5);
    EXPECT_TRUE(s.isValid());
    EXPECT_EQ(s.frequency()[2], 3e9);
    EXPECT_EQ(s.frequency()[4], 0.0);
    EXPECT_EQ(s.s22()[4], Complex(0, 0));
    EXPECT_EQ(s.s22()[1], Complex(1, 4));
    s.resize(0);
    EXPECT_TRUE(s.frequency().empty() && s.s11().empty() && s.s12().empty() && s.s21().empty() && s.s22().empty());
}

TEST(SParameters, SwapPortsTwiceIsIdentityAndLeavesAnalyserPorts)
{
    SParametersTwoPortVNA s;
    static_cast<SParametersTwoPort &>(s) = twoPort(3);
    s.setVnaPort1(0);
    const SParametersTwoPortVNA original = s;
    s.swapPorts();
    EXPECT_EQ(s.s11(), original.s22());
    EXPECT_EQ(s.s12(), original.s21());
    EXPECT_EQ(s.vnaPort1(), original.vnaPort1());
    s.swapPorts();
    EXPECT_EQ(s.s11(), original.s11());
    EXPECT_EQ(s.s21(), original.s21());
    s.swapVnaPorts();
    EXPECT_FALSE(s.vnaPort1().has_value());
    EXPECT_EQ(s.vnaPort2(), 0u);
}

TEST(SParameters, InterpolateRules)
{
    // Too few new points or an invalid object: false, nothing changes.
    SParametersTwoPort s = twoPort(3);
    EXPECT_FALSE(s.interpolate({1e9, 2e9}));
    EXPECT_EQ(s.frequency().size(), 3u);
    SParametersTwoPort bad = twoPort(3);
    bad.s12().pop_back();
    EXPECT_FALSE(bad.interpolate({1e9, 2e9, 3e9}));

    // A grid within 1e-14 of the old one: true, old grid values kept.
    SParametersTwoPort same = twoPort(3);
    EXPECT_TRUE(same.interpolate({1e9, 2e9, 3e9}));
    EXPECT_EQ(same.frequency(), (RealVector{1e9, 2e9, 3e9}));

    // A wider grid holds end values, linear inside.
    SParametersTwoPort wide = twoPort(3);
    ASSERT_TRUE(wide.interpolate({0.5e9, 1.5e9, 2.5e9, 4e9}));
    EXPECT_EQ(wide.frequency(), (RealVector{0.5e9, 1.5e9, 2.5e9, 4e9}));
    EXPECT_EQ(wide.s11()[0], Complex(0, 1));
    EXPECT_EQ(wide.s12()[1], Complex(0.5, 2));
    EXPECT_EQ(wide.s21()[2], Complex(1.5, 3));
    EXPECT_EQ(wide.s22()[3], Complex(2, 4));
    EXPECT_TRUE(wide.isValid());

    SParametersOnePortVNA one;
    one.setFrequency({1, 2, 3});
    one.setS11({{1, 0}, {2, 0}, {3, 0}});
    one.setVnaPort(2);
    ASSERT_TRUE(one.interpolate({1.5, 2.5, 3.5}));
    EXPECT_EQ(one.s11(), (ComplexVector{{1.5, 0}, {2.5, 0}, {3, 0}}));
    EXPECT_EQ(one.vnaPort(), 2u);
}
