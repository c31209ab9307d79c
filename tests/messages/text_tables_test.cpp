#include "messages/connection_texts.h"
#include "messages/device_texts.h"
#include "messages/text_table.h"

#include <gtest/gtest.h>

#include <string>

namespace pmv {
namespace {

template <typename Key, typename TextOf>
void ExpectEveryKeyHasAText(TextOf textOf)
{
    for (size_t i = 0; i < static_cast<size_t>(Key::Count); ++i)
        EXPECT_FALSE(textOf(static_cast<Key>(i)).empty()) << "key " << i;
}

TEST(TextTables, EveryKeyHasAText)
{
    ExpectEveryKeyHasAText<ProgressStep>([](ProgressStep s) { return Text(s); });
    ExpectEveryKeyHasAText<Prompt>([](Prompt p) { return Text(p); });
    ExpectEveryKeyHasAText<LinkNotice>([](LinkNotice n) { return Text(n); });
    ExpectEveryKeyHasAText<FindingKind>([](FindingKind k) { return FindingText(k); });
}

TEST(TextTables, ValuesFillTheirPlacesOnceAndAreNotReadAsPatterns)
{
    EXPECT_EQ(Text(ProgressStep::Measurement, {"3", "10"}), "Измерение 3 из 10");
    EXPECT_EQ(Text(Prompt::ReferenceResult, {" 26.0000", "%1"}),
              "В результате получили Uref= 26.0000   Rref=%1.   Записать в прибор сразу?");
    EXPECT_EQ(FindingText(FindingKind::LatencyHigh, {"16", "/sys/x"}),
              "Таймер задержки адаптера 16 мс: каждый ответ прибора приходит на 16 мс позже, обмен идёт медленнее.");
    EXPECT_EQ(FindingFix(FindingKind::AccessDenied, {"/dev/ttyUSB0", "dialout", "ivan"}),
              "sudo usermod -aG dialout ivan");
    // A place without a value, a lone % and one at the end stay as they are.
    EXPECT_EQ(FillIn("%1 %2 100% %", {"a"}), "a %2 100% %");
}

}  // namespace
}  // namespace pmv
