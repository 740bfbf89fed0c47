#include "Fault.h"

#include <gtest/gtest.h>

namespace bw::sim {
namespace {

// Slots are typed from 1, as the site counts them; the simulator's own count
// starts at 0.
TEST(FaultAssignment, AcceptsSlotOrRomCodeInAnyCase) {
  const auto bySlot = parseFaultAssignment(u"16=no-answer");
  ASSERT_TRUE(bySlot);
  EXPECT_EQ(bySlot->slot, 15);
  EXPECT_EQ(bySlot->fault, Fault::NoAnswer);
  EXPECT_EQ(parseFaultAssignment(u"1=reset")->slot, 0);

  const auto byRom = parseFaultAssignment(u"b900000027ca8f28=Reset");
  ASSERT_TRUE(byRom);
  EXPECT_EQ(byRom->slot, 2);
  EXPECT_EQ(byRom->fault, Fault::Reset);
}

TEST(FaultAssignment, RejectsBadSlotRomOrKindWithAReason) {
  for (const char16_t* text : {u"17=reset", u"0=reset", u"-1=reset", u"0000000000000028=reset",
                               u"3=melt", u"3=", u"reset", u"=reset"}) {
    QString error;
    EXPECT_FALSE(parseFaultAssignment(text, &error)) << QStringView(text).toString().toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(FaultAssignment, EveryFaultNameReadsBackAsItsFault) {
  ASSERT_EQ(faultNames().size(), 7);
  for (const QString& name : faultNames()) EXPECT_EQ(faultName(*faultFromName(name)), name);
}

}  // namespace
}  // namespace bw::sim
