#include "fakes.h"

#include "messages/error_codes.h"

#include <gtest/gtest.h>

#include <string>

namespace pmv {
namespace {

TEST(ErrorCodes, EveryMessageEndsWithItsOwnCode)
{
    for (uint32_t code = 1; code <= 23; ++code) {
        const ErrorMessage* m = FindErrorMessage(ErrorCode{code});
        ASSERT_NE(m, nullptr) << code;
        const std::string suffix = "(ERR " + std::to_string(code) + ")";
        EXPECT_TRUE(std::string(m->text).ends_with(suffix)) << m->text;
    }
    EXPECT_STREQ(FindErrorMessage(ErrorCode{1})->text, "Слишком много символов  (ERR 1)");
    EXPECT_STREQ(FindErrorMessage(ErrorCode{6})->text, "Ответ поврежден- не сошлась контрольная сумма (ERR 6)");
    EXPECT_EQ(FindErrorMessage(ErrorCode{0}), nullptr);
    EXPECT_EQ(FindErrorMessage(ErrorCode{24}), nullptr);
}

TEST(ErrorCodes, ShowErrorMessageDiscardsKeysAndShowsOnlyKnownCodes)
{
    test::RecordingMessages messages;
    EXPECT_EQ(ShowErrorMessage(messages, kOk), kOk);
    EXPECT_EQ(ShowErrorMessage(messages, ErrorCode{24}), kOk);
    EXPECT_TRUE(messages.boxes.empty());

    ShowErrorMessage(messages, kStoppedByUser);
    ShowErrorMessage(messages, kStoppedToCorrect);
    ShowErrorMessage(messages, kNoAnswer);
    ASSERT_EQ(messages.boxes.size(), 3u);
    EXPECT_EQ(messages.boxes[0].text, "Ход процесса остановлен пользователем (ERR 20)");
    EXPECT_EQ(messages.boxes[0].caption, "Информация пользователю");
    EXPECT_EQ(messages.boxes[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages.boxes[1].caption, "Замечание по настройкам");
    EXPECT_EQ(messages.boxes[1].icon, MessageIcon::Warning);
    EXPECT_EQ(messages.boxes[2].text, "Прибор не ответил (ERR 2)");
    EXPECT_EQ(messages.boxes[2].caption, "Ошибка");
    EXPECT_EQ(messages.boxes[2].icon, MessageIcon::Error);
    EXPECT_EQ(messages.discards, 5);
}

}  // namespace
}  // namespace pmv
