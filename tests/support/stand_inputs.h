#pragma once

// Stands as a user types them, shared by the tests that walk a whole simulation:
// age 12 and dominant height 9 (both density routes open), and a thinned stand
// by its parameters or by its trees per class.

#include "session/entry/entry_session.h"

namespace tavelo::testing {

inline StandDataInput age12Height9()
{
    StandDataInput in;
    in.age = "12";
    in.dominantHeight = "9";
    return in;
}

inline ThinnedEntryInput thinnedByParameters()
{
    ThinnedEntryInput in;
    in.choice = ThinnedEntryChoice::Parameters;
    in.trees = "800";
    in.basalArea = "22";
    in.minDiameter = "9";
    in.p95 = "31";
    return in;
}

inline ThinnedEntryInput thinnedByClasses()
{
    ThinnedEntryInput in;
    in.choice = ThinnedEntryChoice::Classes;
    in.classes[2] = "400";
    in.classes[3] = "300";
    in.classes[5] = "20";
    return in;
}

} // namespace tavelo::testing
