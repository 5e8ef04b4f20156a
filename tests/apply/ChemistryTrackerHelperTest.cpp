// The "VoltraTracker" of a tree root: created once, restarted, reset, found by its exact label.
#include "support/SampleDocument.h"

#include "apply/ChemistryTrackerHelper.h"

#include <gtest/gtest.h>

namespace {

using Voltra::ChemistryTrackerHelper;
using VoltraTest::CountTrackers;
using VoltraTest::SampleDocument;

TEST(ChemistryTracking, NeverPreparedDocumentCountsAsChanged) {
    SampleDocument sample;
    EXPECT_TRUE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST(ChemistryTracking, StartTwiceKeepsOneTrackerAndRestartsIt) {
    SampleDocument sample;
    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_EQ(CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_FALSE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));

    VoltraTest::AddAtom(*sample.gly2, "OXT", 8);
    EXPECT_TRUE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));

    // Restarting takes the changed chemistry as the new baseline.
    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_EQ(CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_EQ(sample.Root().GetNumDescendents(HostModel::ChemistryTracker::classType), 1u);
    EXPECT_FALSE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

TEST(ChemistryTracking, OtherLabelsAreIgnored) {
    SampleDocument sample;
    // Someone else's trackers, one of them differing only in letter case.
    auto* other = new HostModel::ChemistryTracker(&sample.Root(), true, true);
    other->SetLabel("voltratracker");
    auto* third = new HostModel::ChemistryTracker(&sample.Root(), true, true);
    third->SetLabel("OtherTracker");

    EXPECT_TRUE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root())) << "no VoltraTracker yet";
    ChemistryTrackerHelper::StopTracking(sample.Root());
    EXPECT_FALSE(other->CheckChemistryChanged()) << "StopTracking reset a foreign tracker";

    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_EQ(CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_EQ(sample.Root().GetNumDescendents(HostModel::ChemistryTracker::classType), 3u);

    // A chemistry change seen by the foreign trackers, then restarting ours: theirs stay changed.
    VoltraTest::AddAtom(*sample.zinc->GetParent(), "CL", 17);
    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_FALSE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
    EXPECT_TRUE(other->CheckChemistryChanged());
    EXPECT_TRUE(third->CheckChemistryChanged());
}

TEST(ChemistryTracking, TrackerDeeperInTheTreeIsFound) {
    SampleDocument sample;
    auto* deep = new HostModel::ChemistryTracker(sample.complex, true, true);
    deep->SetLabel("VoltraTracker");

    EXPECT_FALSE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
    ChemistryTrackerHelper::StopTracking(sample.Root());
    EXPECT_TRUE(deep->CheckChemistryChanged()) << "Reset was not called on the deeper tracker";
    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_FALSE(deep->CheckChemistryChanged());
    EXPECT_EQ(CountTrackers(sample.Root(), "VoltraTracker"), 1) << "a second tracker was created";
}

TEST(ChemistryTracking, StopResetsButKeepsTheTracker) {
    SampleDocument sample;
    ChemistryTrackerHelper::StopTracking(sample.Root());
    EXPECT_EQ(sample.Root().GetNumDescendents(HostModel::ChemistryTracker::classType), 0u)
        << "StopTracking created a tracker";

    ChemistryTrackerHelper::StartTracking(sample.Root());
    ChemistryTrackerHelper::StopTracking(sample.Root());
    EXPECT_EQ(CountTrackers(sample.Root(), "VoltraTracker"), 1);
    EXPECT_TRUE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
    ChemistryTrackerHelper::StartTracking(sample.Root());
    EXPECT_FALSE(ChemistryTrackerHelper::ChemistryHasChanged(sample.Root()));
}

}  // namespace
