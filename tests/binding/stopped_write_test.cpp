#include "fakes.h"
#include "sim_line.h"
#include "temp_dir.h"

#include "binding/binding.h"
#include "binding/commands.h"
#include "binding/held_settings.h"
#include "binding/settings_diff.h"
#include "binding/stopped_write.h"
#include "messages/error_codes.h"
#include "model/factory_profiles.h"
#include "model/profile.h"

#include <filesystem>
#include <memory>
#include <string>

namespace pmv::binding {
namespace {

class NoHost : public CommandHost {
public:
    void ShowControls(const ControlValues&) override {}
};

// "Записать все" of the first factory profile onto the simulated instrument.
class StoppedWriteTest : public test::SimLine {
protected:
    void SetUp() override
    {
        SimLine::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        ASSERT_EQ(model::CreateDefaultProfiles(), std::nullopt);
        ASSERT_EQ(model::LoadProfile("PMV7700.prf", model).error, std::nullopt);
        ShowSettings(model, 1, controls);
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    // The regulator's first register refuses every request until the faults are cleared.
    void RefuseRegulator()
    {
        sim::Fault refuse{sim::Fault::Kind::Status};
        refuse.count = -1;
        refuse.status = 0x0006;
        refuse.bank = 2;
        refuse.memType = 1;
        refuse.reg = 337;
        simulator->InjectFault(refuse);
    }

    model::SettingsModel model;
    ControlValues controls;
    test::ScriptedProgress progress;
    device::Device device{exchange, progress, model, {}};
    // The operator puts the line right before answering.
    class Messages : public test::RecordingMessages {
    public:
        explicit Messages(std::unique_ptr<sim::Simulator>& simulator) : simulator_(simulator) {}
        bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override
        {
            simulator_->ClearFaults();
            return RecordingMessages::AskYesNo(question, text, caption, icon);
        }

    private:
        std::unique_ptr<sim::Simulator>& simulator_;
    };
    Messages messages{simulator};
    NoHost host;
    CommandContext context{device, messages, host, controls, 1};

private:
    test::TempDir dir_;
    std::filesystem::path previous_;
};

TEST_F(StoppedWriteTest, AWriteStoppedPartWayNamesTheGroupsWrittenAndNotAndYesSendsItAgain)
{
    context.offerWriteAgain = true;
    RefuseRegulator();
    messages.answers = {true};
    ASSERT_EQ(WriteAll(context), kOk);
    ASSERT_EQ(messages.boxes.size(), 1u) << "the question alone, no second box of the code";
    const auto& asked = messages.boxes[0];
    EXPECT_EQ(asked.asked, Question::WriteAgain);
    EXPECT_NE(asked.text.find("Записаны: канал 1, канал 2, реле."), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("Не дописана: регулятор"), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("Не записаны: общие, маркер и перезапуск."), std::string::npos) << asked.text;
    EXPECT_NE(asked.text.find("(ERR 4)"), std::string::npos) << asked.text;
    EXPECT_EQ(simulator->RestartCount(), 1);
    EXPECT_TRUE(messages.notes.empty()) << "the second write went through: nothing to add to its outcome";
}

TEST_F(StoppedWriteTest, NoToWritingAgainEndsWithTheCodeAndTheGroupsInTheOutcome)
{
    context.offerWriteAgain = true;
    RefuseRegulator();
    EXPECT_EQ(WriteAll(context), kOperandTooLarge);
    EXPECT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.results, (std::vector<ErrorCode>{kOperandTooLarge}));
    ASSERT_EQ(messages.notes.size(), 1u);
    EXPECT_EQ(messages.notes[0], "прервана на: регулятор");
    EXPECT_EQ(StoppedWriteNote(DescribeStop(model, context.reach)),
              "запись прервана на: регулятор; записаны: канал 1, канал 2, реле");
    EXPECT_EQ(simulator->RestartCount(), 0);
}

TEST_F(StoppedWriteTest, AWriteThatNeverReachedTheInstrumentIsNoStoppedWrite)
{
    context.offerWriteAgain = true;
    context.beforeWriting = [] { return kNoAnswer; };
    EXPECT_EQ(WriteAll(context), kNoAnswer);
    ASSERT_EQ(messages.boxes.size(), 1u);
    EXPECT_EQ(messages.boxes[0].text, "Прибор не ответил (ERR 2)");
    EXPECT_FALSE(messages.boxes[0].question);
}

TEST_F(StoppedWriteTest, AnEscThatCameAfterTheLastExchangeIsToldBesideTheFinishedWrite)
{
    ASSERT_EQ(WriteAll(context), kOk);
    EXPECT_TRUE(messages.notes.empty());
    const int checks = progress.queries;
    progress = {};
    progress.escapeAtQuery = checks;
    ASSERT_EQ(WriteAll(context), kOk);
    EXPECT_EQ(messages.notes, (std::vector<std::string>{"Esc пришел после последнего обмена: записано до конца"}));
}

TEST_F(StoppedWriteTest, HeldSettingsComeBackToTheLastDigitAndAStrangeTextIsRefused)
{
    model.channel[0].th1 = 50.123457f;
    model.channel[1].koef2 = -1.17549435e-38f;
    model.rele.rel1_msk1 = 0x44;
    model.general.proc_ver = 3;
    model.channel[0].select = model.channel[1].select = model.rele.select = model.general.gen_select = 1;
    const std::string text = HeldSettingsText(model);

    model::SettingsModel back;
    ASSERT_TRUE(TakeHeldSettings(text, back));
    EXPECT_TRUE(CompareSettings(model, back).empty());
    EXPECT_EQ(back.channel[0].th1, model.channel[0].th1);
    EXPECT_EQ(back.channel[1].koef2, model.channel[1].koef2);
    EXPECT_EQ(back.general.gen_select, 1);

    model::SettingsModel untouched;
    untouched.channel[0].th1 = 7;
    const std::string lacking = text.substr(text.find('\n') + 1);
    std::string notANumber = text;
    notANumber.replace(notANumber.find("=", notANumber.find("th1")) + 1, 1, "x");
    for (const std::string& strange :
         {lacking, notANumber, std::string("канал 1: UREF 1.0000"), text + "CH9.th1=1\n"}) {
        EXPECT_FALSE(TakeHeldSettings(strange, untouched)) << strange;
        EXPECT_EQ(untouched.channel[0].th1, 7.0f);
    }
}

}  // namespace
}  // namespace pmv::binding
