#include "fakes.h"

#include "cli/calibrate.h"

#include <gtest/gtest.h>

namespace pmv {
namespace {

// --no decides by the question asked: a reworded caption must not turn the result's No into a
// Yes, nor a reference prompt captioned like the result into a No.
TEST(CalibrationAnswersTest, NoRefusesTheResultAndOnlyTheResultWhateverTheCaptions)
{
    test::RecordingMessages terminal;  // no script: the No that --no gives
    cli::CalibrationAnswers answers(terminal, true);

    EXPECT_FALSE(answers.AskYesNo(Question::WriteCalibrationResult, "В результате получили Ku 0-10 V=  9.4340.",
                                  "Итог градуировки", MessageIcon::Information));
    EXPECT_TRUE(answers.AskYesNo(Question::ReferenceConnected, "Подключите ко входу напряжение  10.0000  V",
                                 "Результат градуировки", MessageIcon::Information));

    ASSERT_EQ(terminal.boxes.size(), 2u);
    EXPECT_TRUE(terminal.boxes[0].question) << "the result is asked of the terminal";
    EXPECT_EQ(terminal.boxes[0].asked, Question::WriteCalibrationResult);
    EXPECT_FALSE(terminal.boxes[1].question) << "the reference is only told";
    EXPECT_EQ(terminal.boxes[1].text, "Подключите ко входу напряжение  10.0000  V - подключено");
}

TEST(CalibrationAnswersTest, WithoutNoEveryQuestionReachesTheTerminal)
{
    test::RecordingMessages terminal;
    terminal.answers = {true, false};
    cli::CalibrationAnswers answers(terminal, false);
    EXPECT_TRUE(answers.AskYesNo(Question::ReferenceConnected, "a", "b", MessageIcon::Information));
    EXPECT_FALSE(answers.AskYesNo(Question::WriteCalibrationResult, "c", "d", MessageIcon::Information));
    EXPECT_EQ(terminal.boxes.size(), 2u);
}

}  // namespace
}  // namespace pmv
