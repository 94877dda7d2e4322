#include "platform/spooler/QueueNames.h"

#include <gtest/gtest.h>

namespace {

using platform::spooler::displayNameFor;
using platform::spooler::queueNameFor;

TEST(QueueNames, CharactersCupsRefusesBecomeUnderscores) {
  const struct {
    const char* shown;
    const char* queue;
  } cases[] = {
      {"Folisto Brelvane", "Folisto_Brelvane"},
      {"a/b#c\\d?e'f\"g@h", "a_b_c_d_e_f_g_h"},
      {"tab\there", "tab_here"},
      {"Plain-Name_1.2", "Plain-Name_1.2"},
      {"", "_"},
  };
  for (const auto& c : cases) EXPECT_EQ(queueNameFor(c.shown), c.queue) << c.shown;
}

TEST(QueueNames, LongNamesAreCutAtACharacterBoundary) {
  EXPECT_EQ(queueNameFor(std::string(200, 'x')), std::string(127, 'x'));
  // 126 ASCII bytes, then a two-byte character that would end at byte 128.
  const std::string name = std::string(126, 'x') + "\xC3\xA9" + "yz";
  EXPECT_EQ(queueNameFor(name), std::string(126, 'x'));
}

TEST(QueueNames, TheShownNameComesBackFromPrinterInfoOnlyWhenItMapsToTheQueue) {
  EXPECT_EQ(displayNameFor("Folisto_Brelvane", "Folisto Brelvane"), "Folisto Brelvane");
  // lpadmin's own descriptions are not names.
  EXPECT_EQ(displayNameFor("office", "HP LaserJet on the second floor"), "office");
  EXPECT_EQ(displayNameFor("office", ""), "office");
}

}  // namespace
