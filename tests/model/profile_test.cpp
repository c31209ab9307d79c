#include "model/profile.h"
#include "model/profile_fields.h"

#include "expected_profiles.h"
#include "file_error_print.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <string_view>

using namespace pmv;

namespace {

const std::array<std::string, 4> kNewDescription = {"Прибор ПМВ 77XX Н. Описание настроек текущего профиля.", "", "",
                                                    ""};

template <class Record, std::size_t N, std::size_t M>
void ExpectPermutation(const std::array<model::ProfileField<Record>, N>& table, const std::array<const char*, M>& order)
{
    std::set<std::string_view> keys;
    for (const char* key : order) {
        const bool known =
            std::any_of(table.begin(), table.end(), [&](const auto& f) { return key == std::string_view(f.key); });
        EXPECT_TRUE(known) << key;
        EXPECT_TRUE(keys.insert(key).second) << key;
    }
}

}  // namespace

TEST(ProfileTables, SaveOrdersNameEachKeyOnce)
{
    ExpectPermutation(model::kChannelFields, model::kChannelSaveOrder);
    EXPECT_EQ(model::kChannelSaveOrder.size(), model::kChannelFields.size());
    ExpectPermutation(model::kRelayFields, model::kRelaySaveOrder);
    EXPECT_EQ(model::kRelaySaveOrder.size(), model::kRelayFields.size());
    ExpectPermutation(model::kCalibrationFields, model::kCalibrationSaveOrder);
    ExpectPermutation(model::kGeneralFields, model::kGeneralSaveOrder);
}

class Profiles : public TempDirTest {};

TEST_F(Profiles, LoadingAMissingFileWritesTheNewFileAndTakesItsValues)
{
    model::SettingsModel model;
    const model::LoadProfileResult result = model::LoadProfile(path("recent.prf"), model);
    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(ReadBytes(path("recent.prf")), ProfileBytes(NewProfileText()));
    EXPECT_EQ(result.description, kNewDescription);
    EXPECT_EQ(model.definition, kNewDescription);

    const model::ChannelSettings& ch = model.channel[1];
    EXPECT_EQ(ch.ns, 1);
    EXPECT_EQ(ch.use, 1);
    EXPECT_EQ(ch.ver_rel_proc, 0);
    EXPECT_FLOAT_EQ(ch.lin, 0.2f);
    EXPECT_EQ(ch.text, "Канал 2");
    EXPECT_EQ(model.grad.kalib_del, 180);
    EXPECT_FLOAT_EQ(model.grad.ku10_min, 7.5f);
    EXPECT_EQ(model.general.use_max, 1);
    EXPECT_FLOAT_EQ(model.datBound[13].min, 300.0f);
}

TEST_F(Profiles, LoadingAnEmptyFileGivesTheMissingKeyValuesAndWritesTwoKeys)
{
    WriteBytes(path("empty.prf"), "");
    model::SettingsModel model;
    const model::LoadProfileResult result = model::LoadProfile(path("empty.prf"), model);
    EXPECT_EQ(result.error, std::nullopt);
    EXPECT_EQ(ReadBytes(path("empty.prf")), "[Grad]\r\nwr_grad_immid=1\r\n[GEN]\r\notk_type=47\r\n");

    EXPECT_EQ(model.channel[0].ns, 0);
    EXPECT_EQ(model.channel[0].use, 0);
    EXPECT_EQ(model.channel[0].ver_rel_proc, 1);
    EXPECT_EQ(model.channel[1].text, "Канал 2");
    EXPECT_EQ(model.grad.kalib_del, 90);
    EXPECT_FLOAT_EQ(model.grad.rref_max, 9000.0f);
    EXPECT_EQ(model.general.use_max, 0);
    EXPECT_FLOAT_EQ(model.datBound[9].max, 1300.0f);
    EXPECT_EQ(model.definition[0], "Прибор ПМВ77ХХ Н. Описение настроек текущего профиля.");
    EXPECT_EQ(result.description, model.definition);
}

TEST_F(Profiles, LoadingWritesBackWrGradImmidAsOneAndOtkTypeAsRead)
{
    WriteBytes(path("p.prf"), "[GEN]\notk_type=$1F\n[Grad]\nwr_grad_immid=0\n");
    model::SettingsModel model;
    EXPECT_EQ(model::LoadProfile(path("p.prf"), model).error, std::nullopt);
    EXPECT_EQ(model.grad.wr_grad_immid, 0);
    EXPECT_EQ(model.general.otk_type, 31);
    EXPECT_EQ(ReadBytes(path("p.prf")), "[GEN]\notk_type=31\n[Grad]\nwr_grad_immid=1\n");
}

TEST_F(Profiles, HandEditedValuesLoadByTheirTypeRules)
{
    WriteBytes(path("p.prf"), "[CH1]\n"
                              "diap_max=12345678901234567\n"  // cut to 16 characters
                              "diap_min=\t -3.25e1xyz\n"
                              "lin=abc\n"
                              "adj=\n"
                              "th1=1e50\n"
                              "th2=nan\n"
                              "dat=abc\n"
                              "wire=\n"
                              "flag=0x1F\n"
                              "ns=$1F\n"
                              "search=4294967296\n"
                              "point=-1\n"
                              "text=\n"
                              "unit=\" \xB0\xD1 \"\n");
    model::SettingsModel model;
    model.channel[0].lin = 7;
    model.channel[0].adj = 8;
    model.channel[0].th1 = 9;
    model.channel[0].th2 = 10;
    model::LoadProfile(path("p.prf"), model);
    const model::ChannelSettings& ch = model.channel[0];
    EXPECT_FLOAT_EQ(ch.diap_max, 1234567890123456.0f);
    EXPECT_FLOAT_EQ(ch.diap_min, -32.5f);
    EXPECT_FLOAT_EQ(ch.lin, 7);
    EXPECT_FLOAT_EQ(ch.adj, 8);
    EXPECT_FLOAT_EQ(ch.th1, 9);
    EXPECT_FLOAT_EQ(ch.th2, 10);
    EXPECT_EQ(ch.dat, 17);
    EXPECT_EQ(ch.wire, 3);
    EXPECT_EQ(ch.flag, 31);
    EXPECT_EQ(ch.ns, 31);
    EXPECT_EQ(ch.search, 2);
    EXPECT_EQ(ch.point, -1);
    EXPECT_EQ(ch.text, "");
    EXPECT_EQ(ch.unit, " \u00B0\u0421 ");
}

TEST_F(Profiles, SaveWritesTheKeysInOrderAndLoadsBackRounded)
{
    model::SettingsModel model;
    model::LoadProfile(path("defaults.prf"), model);
    model::ChannelSettings& ch = model.channel[0];
    ch.th1 = 12.34567f;
    ch.his1 = 0.00004f;
    ch.diap_min = -50;
    ch.koef3 = 123456.789f;
    ch.point = -2;
    ch.text = "Печь №3";
    ch.unit = "";
    model.rele.rel1_msk0 = 0x7F;
    model.general.otk_type = 200;

    ASSERT_EQ(model::SaveProfile(path("saved.prf"), model, {"Строка 1", "", " Строка 3 "}), std::nullopt);
    EXPECT_EQ(model.definition, (std::array<std::string, 4>{"Строка 1", "", " Строка 3 ", ""}));
    const std::string channel2 =
        "[CH2]\ndat=17\ndiap_max=100.0000\ndiap_min=  0.0000\nadj=  1.0000\nlin=  0.2000\nwire=3\nflag=0\nns=1\n"
        "shift=  0.0000\nth_type1=0\nth_type2=0\nth1= 50.0000\nth2= 60.0000\nhis1=  0.0200\nhis2=  0.0200\n"
        "spd_th=  0.1000\nspd_his=  0.0100\nkoef0=  0.0000\nkoef1=  0.0000\nkoef2=  0.0000\nkoef3=  0.0000\n"
        "uref= 26.3200\nrref=7491.0000\nku= 94.4400\nku10=  9.4300\nki05= 18.4300\nki020= 18.4300\n"
        "set_ra= 40.0000\nset_rb=300.0000\nset_ku=100.0000\nset_ku10= 10.0000\nset_ki05=  5.0000\n"
        "set_ki020= 20.0000\nsearch=2\npoint=1\nselect=1\nuse=1\nver_rel_proc=0\nreg_int=30\npulse_int=5\n"
        "text=Канал 2\nunit=<....>\n";
    const std::string tail = "[RELE]\nselect=1\nuse=1\ntest=0\nrel0_msk0=0\nrel0_msk1=0\nrel1_msk0=127\nrel1_msk1=0\n"
                             "[Grad]\nkalib_usr=8\nkalib_del=180\n"
                             "[Definition]\ntxt0=Строка 1\ntxt1=\ntxt2= Строка 3 \ntxt3=\n"
                             "[GEN]\ngen_select=1\nproc_ver=0\nuse_max=1\notk_type=200\n"
                             "[ERR]\nerr_ver=1\n";
    const std::string saved = ReadBytes(path("saved.prf"));
    EXPECT_NE(saved.find(ProfileBytes(channel2 + tail)), std::string::npos) << saved;
    for (const char* line : {"\ndiap_min=-50.0000\r", "\nth1= 12.3457\r", "\nhis1=  0.0000\r", "\nkoef3=123456.7891\r",
                             "\npoint=-2\r", "\nunit=\r"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;
    EXPECT_NE(saved.find("\ntext=\xCF\xE5\xF7\xFC \xB9\x33\r\n"), std::string::npos) << "Windows-1251 bytes";
    EXPECT_EQ(saved.find("Dat_bound"), std::string::npos);
    EXPECT_EQ(saved.find("rref_min"), std::string::npos);

    model::SettingsModel back;
    model::LoadProfile(path("saved.prf"), back);
    model::SettingsModel expected = model;
    expected.channel[0].th1 = 12.3457f;
    expected.channel[0].his1 = 0;
    expected.channel[0].koef3 = 123456.7891f;
    expected.definition[2] = "Строка 3";  // blanks around a value are not part of it
    EXPECT_EQ(back, expected);
}

TEST_F(Profiles, AHandWrittenCrlfProfileLoadsLikeOneTheProgramWrote)
{
    std::string hand = NewProfileText();
    for (const auto& [from, to] : std::map<std::string, std::string>{{"diap_max=100\n", " Diap_Max = 100.0 \n"},
                                                                     {"text=Канал 1\n", "TEXT\t= \"Канал 1\"\n"},
                                                                     {"[RELE]\n", "; реле\n[rele]\n"},
                                                                     {"rel0_msk0=0\n", "rel0_msk0=$10\n"},
                                                                     {"th1=50\n", "th1=  50.0000\n"}}) {
        hand.replace(hand.find(from), from.size(), to);
    }
    WriteBytes(path("hand.prf"), ProfileBytes(hand));
    model::SettingsModel fromHand;
    model::LoadProfile(path("hand.prf"), fromHand);
    EXPECT_EQ(fromHand.channel[0].text, "Канал 1");
    EXPECT_EQ(fromHand.rele.rel0_msk0, 16);

    ASSERT_EQ(model::SaveProfile(path("program.prf"), fromHand,
                                 std::vector<std::string>(fromHand.definition.begin(), fromHand.definition.end())),
              std::nullopt);
    model::SettingsModel fromProgram;
    model::LoadProfile(path("program.prf"), fromProgram);
    EXPECT_EQ(fromProgram, fromHand);
}

TEST_F(Profiles, AFailedCreationLeavesModelAndFolderUntouched)
{
    model::SettingsModel model;
    model.channel[0].dat = 5;
    const model::SettingsModel before = model;
    const std::string missing = path("none/recent.prf");

    const model::LoadProfileResult loaded = model::LoadProfile(missing, model);
    const ini::FileError noFolder{ini::FileOperation::OpenFolder, missing, ENOENT};
    EXPECT_EQ(loaded.error, noFolder);
    EXPECT_EQ(loaded.description, std::nullopt);
    EXPECT_EQ(model, before);

    EXPECT_EQ(model::SaveProfile(missing, model, {"x"}), noFolder);
    model.definition[0].clear();
    EXPECT_EQ(model, before);
    EXPECT_FALSE(std::filesystem::exists(path("none")));
}

TEST_F(Profiles, AReadOnlyProfileLoadsUntilAWriteBackIsNeededAndIsSavedOver)
{
    model::SettingsModel model;
    model::LoadProfile(path("ok.prf"), model);
    std::string bytes = ReadBytes(path("ok.prf"));
    ASSERT_EQ(::chmod(path("ok.prf").c_str(), 0444), 0);
    model::SettingsModel again;
    EXPECT_EQ(model::LoadProfile(path("ok.prf"), again).error, std::nullopt) << "nothing to write back";
    EXPECT_EQ(again, model);

    bytes.replace(bytes.find("wr_grad_immid=1"), 15, "wr_grad_immid=0");
    WriteBytes(path("ro.prf"), bytes);
    ASSERT_EQ(::chmod(path("ro.prf").c_str(), 0444), 0);
    model::SettingsModel stale;
    stale.general.otk_type = 99;
    stale.grad.rref_max = 1;
    stale.datBound[0].max = 1;
    const model::LoadProfileResult result = model::LoadProfile(path("ro.prf"), stale);
    EXPECT_EQ(result.error, (ini::FileError{ini::FileOperation::Write, path("ro.prf"), EACCES}));
    EXPECT_EQ(result.description, kNewDescription);
    EXPECT_EQ(stale.channel[0], model.channel[0]);
    EXPECT_EQ(stale.general.use_max, 1);
    EXPECT_EQ(stale.grad.wr_grad_immid, 0);
    EXPECT_EQ(stale.general.otk_type, 99) << "step 7 not taken";
    EXPECT_FLOAT_EQ(stale.grad.rref_max, 1) << "step 8 not taken";
    EXPECT_FLOAT_EQ(stale.datBound[0].max, 1) << "step 8 not taken";
    EXPECT_EQ(ReadBytes(path("ro.prf")), bytes);

    model.channel[0].dat = 3;
    EXPECT_EQ(model::SaveProfile(path("ro.prf"), model, {}), std::nullopt);
    struct stat st {};
    ASSERT_EQ(::stat(path("ro.prf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    model::SettingsModel back;
    EXPECT_EQ(model::LoadProfile(path("ro.prf"), back).error, std::nullopt);
    EXPECT_EQ(back.channel[0].dat, 3);
    EXPECT_EQ(back.grad.wr_grad_immid, 0);
    EXPECT_EQ(back.definition[0], "");
}

namespace {

// Reading a profile in place gives the model a load gives, and leaves the file as it was.
TEST_F(Profiles, ReadingInPlaceGivesTheLoadedModelAndWritesNothing)
{
    struct Case {
        const char* bytes;  // nullptr: no file
        bool holdsProfile;
    };
    const Case cases[] = {{nullptr, false},
                          {"", false},
                          {"%PDF-1.4\n1 0 obj\n", false},
                          {"[GEN]\r\notk_type=7\r\n", true},
                          {"[CH2]\r\nth1=12.5\r\n[Grad]\r\nwr_grad_immid=0\r\n", true}};
    for (const Case& c : cases) {
        const std::string read = path("read.prf"), loaded = path("loaded.prf");
        std::filesystem::remove(read);
        std::filesystem::remove(loaded);
        if (c.bytes) {
            WriteBytes(read, c.bytes);
            WriteBytes(loaded, c.bytes);
        }
        model::SettingsModel inPlace, viaLoad;
        const model::ReadProfileResult result = model::ReadProfile(read, inPlace);
        ASSERT_FALSE(model::LoadProfile(loaded, viaLoad).error);
        EXPECT_TRUE(inPlace == viaLoad) << (c.bytes ? c.bytes : "no file");
        EXPECT_EQ(result.description, *model::LoadProfile(loaded, viaLoad).description);
        EXPECT_EQ(result.exists, c.bytes != nullptr);
        EXPECT_EQ(result.holdsProfile, c.holdsProfile) << (c.bytes ? c.bytes : "no file");
        EXPECT_FALSE(result.error);
        if (c.bytes)
            EXPECT_EQ(ReadBytes(read), c.bytes);
        else
            EXPECT_FALSE(std::filesystem::exists(read));
    }
}

}  // namespace
