// Writes the seed corpus of every fuzz target: small files made by our own writers, each shaped
// as its target reads its input. Usage: make_fuzz_seeds CORPUS-FOLDER (fuzz/corpus). Findings are
// added to the same folders by hand, under names beginning "finding-".
#include "../tests/graphics/brom_test_support.h"
#include "archive/header.h"
#include "archive/standalone.h"
#include "archive/vrarchive.h"
#include "base/fileio.h"
#include "components/baselist.h"
#include "components/box.h"
#include "components/images.h"
#include "components/labellist.h"
#include "components/mapareas.h"
#include "components/mediakinds.h"
#include "components/propmotion.h"
#include "components/sound.h"
#include "components/tile.h"
#include "components/timer.h"
#include "engine/project.h"
#include "engine/scenario.h"
#include "graphics/bmp.h"
#include "graphics/brom.h"
#include "params/paramcollection.h"
#include "params/rukoparser.h"
#include "platform/hostenv.h"
#include "records/dbmanager.h"
#include "words/packfonts.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

using namespace ruko;

namespace {

std::string Root;
int Written = 0;

void Seed(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::filesystem::create_directories(Root + "/" + target);
    std::string path = Root + "/" + target + "/seed-" + name;
    if (!WriteHostFileAtomic(path,
                             std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
    ++Written;
}

std::vector<uint8_t> Prefixed(std::initializer_list<uint8_t> head, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> out(head);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> Archive()
{
    TVrFileCollection archive;
    const std::string text = "hello, archive";
    for (const char* name : {"ruko.rpb", "pic\\a.brm", "main.rsb"}) {
        TVrFile& file = archive.AddMemoryFile(name);
        file.Data->Write(text.data(), int64_t(text.size()));
        file.Data->SetPosition(0);
        file.Size = int64_t(text.size());
        file.Stored = true;
    }
    TKwBigMemoryStream stream;
    archive.SaveToStream(stream);
    return stream.TakeBytes();
}

void ArchiveSeeds()
{
    std::vector<uint8_t> archive = Archive();
    Seed("fuzz_archive_directory", "three-members", archive);
    // A "player" of a few bytes with the archive and its trailer behind it.
    TTempFolder temp;
    std::string folder = temp.Path();
    WriteHostFileAtomic(folder + "/player", "#!/bin/sh\nexit 0\n");
    WriteHostFileAtomic(folder + "/game.dat",
                        std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()));
    WriteStandaloneTitle(folder + "/player", folder + "/game.dat", folder + "/standalone");
    std::string standalone;
    ReadHostFile(folder + "/standalone", standalone);
    Seed("fuzz_archive_trailer", "standalone", std::vector<uint8_t>(standalone.begin(), standalone.end()));
}

TPicture Sample(int bits)
{
    TPicture picture(5, 3, bits);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.SetPixel(x, y, picture.ColorToPixel(RgbColor(uint8_t(x * 50), uint8_t(y * 90), 200)));
    return picture;
}

void PictureSeeds()
{
    Seed("fuzz_bmp", "24bit", EncodeBmp24(Sample(24)));

    // The binary container: byte 0 the load options, byte 1 the version index, then what follows
    // the magic.
    const int versions[] = {0, 99, 100, 101, 102, 103, 104, 105};
    test::TFrameSpec frame;
    frame.Width = 4;
    frame.Height = 2;
    frame.Bits = 24;
    test::TLayerSpec layer;
    layer.Data = test::Rows24(4, {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 1, 2, 3, 4});
    frame.Layers.push_back(layer);
    for (int index : {2, 5, 7}) {
        std::vector<uint8_t> file = test::BuildBinary(versions[index], test::THeaderSpec{}, {frame});
        file.erase(file.begin(), file.begin() + 7);
        Seed("fuzz_brom", "v" + std::to_string(versions[index]), Prefixed({0, uint8_t(index)}, file));
        Seed("fuzz_brom", "v" + std::to_string(versions[index]) + "-converted",
             Prefixed({4 | 16, uint8_t(index)}, file));
    }

    // The XML container as the target takes it: the document uncompressed behind its length.
    for (int bits : {8, 24}) {
        TBromFrameList list;
        TBromFrame& f = list.AddFrame();
        f.Picture = Sample(bits);
        TKwBigMemoryStream stream;
        list.SaveToStream(stream, bits == 8 ? bcNone : bcZlib, 70);
        std::vector<uint8_t> saved = stream.TakeBytes();
        uint32_t packed = saved[8] | saved[9] << 8 | saved[10] << 16 | uint32_t(saved[11]) << 24;
        std::vector<uint8_t> document(1 << 16);
        uLongf length = uLongf(document.size());
        if (uncompress(document.data(), &length, saved.data() + 12, packed) != Z_OK || length > 0xFFFF)
            continue;
        std::vector<uint8_t> seed = {0, uint8_t(length), uint8_t(length >> 8)};
        seed.insert(seed.end(), document.begin(), document.begin() + long(length));
        seed.insert(seed.end(), saved.begin() + 12 + packed, saved.end());
        Seed("fuzz_bromxml", std::to_string(bits) + "bit", seed);
    }
}

void ComponentSeeds()
{
    TRukoBaseList list;
    list.SetSize(16, 12);
    auto* box = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
    box->SetName("box");
    box->SetBounds(1, 2, 8, 6);
    auto* child = static_cast<TRukoBox*>(list.CreateComponent(LT_BOX));
    child->SetName("child");
    child->SetParent(box);
    TRukoObject* cabinet = list.CreateComponent(LT_CABINET);
    cabinet->SetName("cab");
    TKwBigMemoryStream stream;
    list.SaveToStream(stream);
    Seed("fuzz_components_save", "boxes-v150", Prefixed({50}, stream.TakeBytes()));

    // Images and tiles naming the fuzz target's own picture "a.brm", one inside the other.
    RegisterImageKinds();
    TRukoBaseList pictures;
    pictures.SetSize(16, 12);
    auto* image = static_cast<TRukoImages*>(pictures.CreateComponent(LT_IMAGES));
    image->SetName("img");
    image->Source = "a.brm";
    image->FrameIndex = 1;
    image->Remaining = 40;
    image->ZoomX = 1.5L;
    image->Angle = 0.5L;
    image->BlurSpan = 30;
    image->BlurDelay = 90;
    image->RepeatFlag = true;
    auto* tile = static_cast<TRukoTile*>(pictures.CreateComponent(LT_TILE));
    tile->SetName("tile");
    tile->SetParent(image);
    tile->Source = "a.brm";
    tile->SetBounds(0, 0, 12, 9);
    tile->SetDistance(3, 2);
    tile->SetScroll(-5, 7);
    TKwBigMemoryStream images;
    pictures.SaveToStream(images);
    Seed("fuzz_components_save", "images-v150", Prefixed({50}, images.TakeBytes()));
    // A sound, a timer and a property motion (no media managers: the sound only stores).
    RegisterMediaComponentKinds();
    TRukoBaseList media;
    media.SetSize(16, 12);
    auto* sound = static_cast<TRukoSound*>(media.CreateComponent(LT_SOUND));
    sound->SetName("bgm");
    sound->SetSource("bgm.ogg");
    sound->Repeat = true;
    sound->RepeatPos = 400;
    sound->OnPlayEnd = "end.rsb";
    auto* timer = static_cast<TRukoTimer*>(media.CreateComponent(LT_TIMER));
    timer->SetName("tick");
    timer->Interval = 300;
    timer->OnNotify = "tick.rsb";
    auto* motion = static_cast<TRukoPropMotion*>(media.CreateComponent(LT_PROPMOTION));
    motion->SetName("move");
    motion->TargetName = "bgm";
    motion->PropId = PR_VOLUME;
    motion->TargetValue = 500;
    motion->Duration = 1000;
    motion->Elapsed = 250;
    TKwBigMemoryStream mediaStream;
    media.SaveToStream(mediaStream);
    Seed("fuzz_components_save", "media-v150", Prefixed({50}, mediaStream.TakeBytes()));
}

void ExpressionSeeds()
{
    const char* texts[] = {"a[1, 2] + i * 3", "s ++ \"x\" ++ IntToStr(i, 3)", "(x > 1) & Not(i == 2)",
                           "Copy(s, 2, 2) == \"ex\"", "Sin(x) + Fmax(x, 1.5)"};
    int n = 0;
    for (const char* text : texts) {
        std::string name = std::to_string(n++);
        Seed("fuzz_expr_compile", name, std::vector<uint8_t>(text, text + std::strlen(text)));
        TRukoParser program;
        CompileText(text, program);
        TKwBigMemoryStream stream;
        program.SaveToStream(stream);
        std::vector<uint8_t> bytes = stream.TakeBytes();
        Seed("fuzz_expr_program", name, bytes);
        Seed("fuzz_expr_runform", name, bytes);
    }
}

void RecordSeeds()
{
    for (int version : {100, 105, 108}) {
        TRukoInstallSet record = TRukoInstallSet::CompleteInstall("Tale", 1);
        record.Version = version;
        record.List1 = {"shot.brm"};
        Seed("fuzz_install_record", "v" + std::to_string(version), record.SaveToBytes());
    }
    for (uint32_t version : {103u, 110u, 117u}) {
        TProjectSetting setting;
        setting.Version = version;
        setting.Title = "Tale";
        setting.StartPage = "main.rsb";
        TGlobalVarDecl count;
        count.Type = 1;
        count.Name = "count";
        count.IntValue = 3;
        setting.Variables.push_back(count);
        setting.FolderDisks.Add("movie", 2);
        Seed("fuzz_project_file", "v" + std::to_string(version), setting.SaveToBytes());
    }

    TParamCollection store;
    store.AddVariable(ptInt, "n").Value->SetInt(5);
    store.AddVariable(ptStr, "s").Value->SetStr("text");
    store.AddVariable(ptFloat, "x").Value->SetDims({2, 2});
    TKwBigMemoryStream variables;
    store.SaveVariables(variables);
    // Selector 11 reads the newest version (140).
    Seed("fuzz_params_records", "variables-v140", Prefixed({11}, variables.TakeBytes()));
    TKwBigMemoryStream persistent;
    store.SavePersistent(persistent);
    Seed("fuzz_params_records", "persistent", Prefixed({0x80}, persistent.TakeBytes()));
    TKwBigMemoryStream value;
    store.Find("s")->Value->SaveToStream(value);
    Seed("fuzz_params_records", "string-value", Prefixed({0xF0 | ptStr}, value.TakeBytes()));
}

void TableSeeds()
{
    TDBManager db;
    db.CreateTable("status", true);
    TDBTable& status = *db.ActiveTable();
    status.Fields.AddField("clicks", ftInt, 0);
    status.Append();
    status.SetInt(0, 0, 12);
    db.CreateTable("game", false);
    TDBTable& game = *db.ActiveTable();
    game.LoadFromStrings(
        {"id int\tname str 6\trate float\tdone bool", "1\tann\t2.5\tTRUE", "2\tbob\t-1\tFALSE"});
    game.SetRecNo(1);
    for (bool persistent : {false, true}) {
        TKwBigMemoryStream s;
        db.SaveToStream(s, persistent);
        Seed("fuzz_records_tables", persistent ? "status-form" : "game-form",
             Prefixed({uint8_t(persistent ? 1 : 0)}, s.TakeBytes()));
    }
    const std::string file = "id int\tname str 6\trate float\tdone bool\r\n1\ta\\\"b\\n\t2.5E1\tTRUE\r\n\r\n"
                             "2\t\x95\x5c\x82\t\tFALSE\t\n";
    Seed("fuzz_records_tables", "table-file", Prefixed({2}, std::vector<uint8_t>(file.begin(), file.end())));
}

void PageSeeds(const std::string& sourceFolder)
{
    std::string text;
    if (!ReadHostFile(sourceFolder + "/tests/titles/every_command.rss", text)) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot read every_command.rss\n");
        return;
    }
    std::vector<TCompiledPage> pages;
    std::vector<TScenarioError> errors;
    if (!CompileScenarios({{"every_command.rss", "main.rsb", text}}, pages, errors)) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", errors.front().Format().c_str());
        return;
    }
    for (const char* target : {"fuzz_page", "fuzz_page_dump"})
        Seed(target, "every-command", pages.front().Bytes);
    const char* small = "var int global a = 1\nwhile a < 3\n  calc a = a + 1\nloop a = a\nterminate\n";
    if (CompileScenarios({{"small.rss", "main.rsb", small}}, pages, errors))
        for (const char* target : {"fuzz_page", "fuzz_page_dump"})
            Seed(target, "small", pages.front().Bytes);
}

} // namespace

// Pixel fonts: two levels and smooth coverage, every row padding, a blank, bold and italic keys.
void FontSeeds()
{
    for (uint8_t style : {0, 3}) {
        TPixelFontData font;
        font.Header = {"Seed", 8, style, 0, 7, 1, 3, 1, -1, true};
        for (uint16_t w = 0; w <= 5; ++w) {
            TPixelFontGlyph glyph;
            glyph.Code = uint16_t(style ? 0x8140 + w : 'A' + w);
            glyph.Record = {w, uint16_t(w ? 7 : 0), 1, 7, int16_t(w + 2), 0, 0};
            for (int i = 0; i < w * glyph.Record.Height; ++i)
                glyph.Coverage.push_back(uint8_t(i * 37));
            font.Glyphs.push_back(glyph);
        }
        Seed("fuzz_rft", "style" + std::to_string(style), WritePixelFont(font));
    }
}

void MapAndCaptionSeeds()
{
    TKwBigMemoryStream map;
    WriteMapFile(map, {{"door", TMapRegion::Rectangle(0, 0, 9, 9)},
                       {"moon", TMapRegion::Ellipse(5, 5, 14, 14)},
                       {"roof", TMapRegion::Polygon({{20, 0}, {30, 0}, {25, 8}})}});
    Seed("fuzz_map", "three-shapes", map.TakeBytes());
    TKwLabelList caption;
    caption.FontName = "F";
    caption.FontHeight = 8;
    caption.Border = 1;
    caption.Shadow = 2;
    caption.Alpha = 128;
    TKwBigMemoryStream record;
    caption.SaveToStream(record);
    const std::vector<uint8_t> bytes = record.TakeBytes();
    // Versions 108 (smoothing on or off), 121 (no shadow) and 150.
    Seed("fuzz_caption", "v108", Prefixed({8}, std::vector<uint8_t>(bytes.begin(), bytes.end() - 8)));
    Seed("fuzz_caption", "v121", Prefixed({21}, std::vector<uint8_t>(bytes.begin(), bytes.end() - 8)));
    Seed("fuzz_caption", "v150", Prefixed({50}, bytes));
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_fuzz_seeds CORPUS-FOLDER SOURCE-FOLDER\n");
        return 2;
    }
    Root = argv[1];
    try {
        ArchiveSeeds();
        PictureSeeds();
        ComponentSeeds();
        ExpressionSeeds();
        RecordSeeds();
        TableSeeds();
        PageSeeds(argv[2]);
        FontSeeds();
        MapAndCaptionSeeds();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    std::printf("%d seeds written under %s\n", Written, Root.c_str());
    return 0;
}
