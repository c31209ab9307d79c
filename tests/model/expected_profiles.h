#pragma once

#include "ini/cp1251.h"

#include "working_dir.h"

#include <map>
#include <string>

// Expected profile files, spelt out independently of the program's tables. Each builder gives
// UTF-8 text with "\n"; ProfileBytes turns it into the bytes on disk.

using Changes = std::map<std::string, std::string>;

// "key=value" lines in order, with the values of changes put in.
inline std::string Lines(const char* const* keysAndValues, std::size_t count, const Changes& changes)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < count; i += 2) {
        const auto changed = changes.find(keysAndValues[i]);
        out += std::string(keysAndValues[i]) + "=" +
               (changed != changes.end() ? changed->second : keysAndValues[i + 1]) + "\n";
    }
    return out;
}

// A channel section as a new file holds it.
inline std::string ChannelSection(int number, const Changes& changes = {})
{
    // clang-format off
    static const char* const kv[] = {
        "dat", "17", "diap_max", "100", "diap_min", "0", "adj", "1.0", "lin", "0.2", "wire", "3", "flag", "0",
        "ns", "1", "shift", "0", "th_type1", "0", "th_type2", "0", "th1", "50", "th2", "60", "his1", "0.02",
        "his2", "0.02", "spd_th", "0.1", "spd_his", "0.01", "koef0", "0.0", "koef1", "0.0", "koef2", "0.0",
        "koef3", "0.0", "search", "2", "point", "1", "use", "1", "ver_rel_proc", "0", "reg_int", "30",
        "pulse_int", "5", "text", "", "unit", "<....>", "select", "1", "uref", "26.32", "rref", "7491.0",
        "ku", "94.44", "ku10", "9.43", "ki05", "18.43", "ki020", "18.43", "set_ra", "40.0", "set_rb", "300.0",
        "set_ki05", "5.0", "set_ki020", "20.0", "set_ku", "100.0", "set_ku10", "10.0",
    };
    // clang-format on
    Changes all = changes;
    all.emplace("text", "Канал " + std::to_string(number));
    return "[CH" + std::to_string(number) + "]\n" + Lines(kv, std::size(kv), all);
}

// The Grad keys that a new file holds after Definition.
inline std::string GradBounds()
{
    return "rref_min=5000.0\nrref_max=9000.0\nuref_min=18.0\nuref_max=32.0\nku_min=75.0\nku_max=115.0\n"
           "ku10_min=7.5\nku10_max=11.5\nki05_min=14.0\nki05_max=22.0\nki020_min=14.0\nki020_max=22.0\n"
           "usr_ref=8\nusr_ku=8\nusr_ki=8\ndel_ref=90\ndel_ku=40\ndel_ki=40\nwr_grad_immid=1\n";
}

// Dat_bound0 ... Dat_bound24; minOf6 is the min of Dat_bound6.
inline std::string SensorBoundsSections(const std::string& minOf6 = "-50.0")
{
    // clang-format off
    static const char* const bounds[25][3] = {
        {"200.0", "-50.0", "0.25"},  {"200.0", "-50.0", "0.25"}, {"200.0", "-50.0", "0.25"},
        {"200.0", "-50.0", "0.25"},  {"200.0", "-50.0", "0.25"}, {"200.0", "-50.0", "0.25"},
        {"600.0", "-50.0", "0.25"},  {"600.0", "-50.0", "0.25"}, {"600.0", "-50.0", "0.25"},
        {"1300.0", "-50.0", "0.5"},  {"600.0", "-50.0", "0.5"},  {"1700.0", "0.0", "0.5"},
        {"1700.0", "0.0", "0.5"},    {"1800.0", "300.0", "0.5"}, {"1100.0", "-50.0", "0.5"},
        {"2500.0", "0.0", "0.5"},    {"400.0", "-50.0", "0.5"},  {"100.0", "0.0", "0.25"},
        {"100.0", "0.0", "0.25"},    {"100.0", "0.0", "0.25"},   {"100.0", "0.0", "0.25"},
        {"100.0", "0.0", "0.25"},    {"300.0", "0.0", "0.25"},   {"100.0", "0.0", "0.25"},
        {"1300.0", "-50.0", "0.5"},
    };
    // clang-format on
    std::string out;
    for (int i = 0; i < 25; ++i) {
        out += "[Dat_bound" + std::to_string(i) + "]\nmax=" + bounds[i][0] +
               "\nmin=" + (i == 6 ? minOf6 : std::string(bounds[i][1])) + "\npogr=" + bounds[i][2] + "\n";
    }
    return out;
}

inline std::string NewProfileText()
{
    return ChannelSection(1) + ChannelSection(2) +
           "[RELE]\nselect=1\ntest=0\nuse=1\nrel0_msk0=0\nrel0_msk1=0\nrel1_msk0=0\nrel1_msk1=0\n"
           "[Grad]\nkalib_usr=8\nkalib_del=180\n" +
           GradBounds() +
           "[ERR]\nerr_ver=1\n"
           "[GEN]\ngen_select=1\nproc_ver=0\nuse_max=1\ndev_type=47\notk_type=47\n"
           "[Definition]\ntxt0=Прибор ПМВ 77XX Н. Описание настроек текущего профиля.\ntxt1=\ntxt2=\ntxt3=\n" +
           SensorBoundsSections();
}

// A factory profile: channel sections, then the relay masks, proc_ver and description.
// clang-format off
inline std::string FactoryProfileText(const std::string& channels, const std::string& masks, const char* procVer,
                                      const std::string& definition, const std::string& minOf6 = "-50.0")
{
    return channels + "[RELE]\nselect=1\ntest=0\nuse=1\n" + masks +
           "[Grad]\nkalib_usr=8\nkalib_del=90\n" + GradBounds() +
           "[ERR]\nerr_ver=0\n"
           "[GEN]\ngen_select=1\nproc_ver=" + procVer + "\nuse_max=0\ndev_type=47\n"
           "[Definition]\n" + definition + SensorBoundsSections(minOf6);
}
// clang-format on

inline std::string ProfileBytes(const std::string& text) { return pmv::ini::Utf8ToCp1251(Crlf(text)); }
