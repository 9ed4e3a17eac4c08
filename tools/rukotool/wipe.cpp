// rukotool wipe: one frame of a transition between two pictures, for authors choosing effects.
#include "command.h"

#include "base/error.h"
#include "base/fileio.h"
#include "base/numtext.h"
#include "base/text.h"
#include "graphics/bmp.h"
#include "graphics/brom.h"
#include "graphics/bromcache.h"
#include "graphics/png.h"
#include "graphics/wipe.h"

namespace ruko::tool {

namespace {

// The first composed frame of a PNG, BMP or layered picture, as a 32-bit surface.
std::unique_ptr<TDIBX> LoadPicture(const std::string& path)
{
    std::string content;
    if (!ReadHostFile(path, content)) RaiseError(Utf8ToCp932(path + ":ファイルがありません"));
    const std::vector<uint8_t> bytes(content.begin(), content.end());
    // The reader goes by extension; pick it by content so that any file name works.
    const char* kind = IsPngData(bytes.data(), bytes.size())   ? "in.png"
                       : IsBmpData(bytes.data(), bytes.size()) ? "in.bmp"
                                                               : "in.brm";
    TBromFrameList list;
    list.LoadFromData(kind, bytes, true);
    const TPicture& picture = list.Frames(0).Picture;
    auto surface = std::make_unique<TDIBX>(picture.Width(), picture.Height(), 32);
    CopyPictureToSurface(picture, *surface);
    return surface;
}

int32_t IntegerArgument(const std::vector<std::string>& args, size_t& i)
{
    const std::string& option = args[i];
    int32_t value;
    if (++i >= args.size() || !TryStrToInt(args[i], value)) throw EUsage{option + " needs a whole number"};
    return value;
}

int Wipe(const std::vector<std::string>& args)
{
    std::vector<std::string> paths;
    std::optional<int32_t> duration, at, param0, param1;
    std::string rulePath;
    bool reverse = false, diffOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--duration")
            duration = IntegerArgument(args, i);
        else if (a == "--at")
            at = IntegerArgument(args, i);
        else if (a == "--param1")
            param0 = IntegerArgument(args, i);
        else if (a == "--param2")
            param1 = IntegerArgument(args, i);
        else if (a == "--rule") {
            if (++i >= args.size()) throw EUsage{"--rule needs a picture"};
            rulePath = args[i];
        } else if (a == "--reverse")
            reverse = true;
        else if (a == "--diff-only")
            diffOnly = true;
        else if (a.size() > 1 && a[0] == '-')
            throw EUsage{"unknown option " + a};
        else
            paths.push_back(a);
    }
    if (paths.size() != 4) throw EUsage{"expected KIND FROM.png TO.png OUT.png"};
    if (!duration || *duration <= 0) throw EUsage{"--duration must be a positive number of milliseconds"};
    if (!at || *at < 0) throw EUsage{"--at must be a time of 0 or more milliseconds"};
    int32_t type = WipeTypeByName(paths[0]);
    if (type == 0 && (!TryStrToInt(paths[0], type) || !WipeTypeName(type)))
        throw EUsage{"unknown transition '" + paths[0] + "' (a number 1.." + std::to_string(WipeTypeCount) +
                     " or a name such as fade or TWipeCircle)"};

    const std::unique_ptr<TDIBX> from = LoadPicture(paths[1]), to = LoadPicture(paths[2]);
    if (from->Width() != to->Width() || from->Height() != to->Height())
        RaiseError(FormatText("FROM is %dx%d but TO is %dx%d: the pictures must have one size", from->Width(),
                              from->Height(), to->Width(), to->Height()));
    std::unique_ptr<TDIBX> rule;
    if (!rulePath.empty()) rule = LoadPicture(rulePath);

    TDIBX target(from->Width(), from->Height(), 32);
    target.Assign(*from);
    std::unique_ptr<TCustomWipe> wipe = CreateWipe(type, target, *from, *to);
    wipe->Duration = *duration;
    wipe->SetReverse(reverse);
    if (param0) wipe->SetParam(0, *param0);
    if (param1) wipe->SetParam(1, *param1);
    if (rule) {
        wipe->SetRuleName(rulePath);
        wipe->SetRulePicture(rule.get());
    }
    wipe->DiffOnly = diffOnly;
    wipe->Prepare();
    wipe->Elapsed = *at;
    // A finished transition draws nothing: the screen then shows the new picture itself.
    if (wipe->Step()) target.Assign(*to);

    const std::vector<uint8_t> png =
        EncodePngXrgb(target.Width(), target.Height(), reinterpret_cast<const uint32_t*>(target.ScanLine(0)),
                      target.Pitch());
    if (!WriteHostFileAtomic(paths[3],
                             std::string_view(reinterpret_cast<const char*>(png.data()), png.size())))
        RaiseError("cannot write " + paths[3]);
    return 0;
}

const TToolCommandRegistrar
    wipeCommand({"wipe",
                 "wipe KIND FROM.png TO.png --duration MS --at MS OUT.png [--param1 N --param2 N --rule "
                 "RULE.brm --reverse "
                 "--diff-only]",
                 "one frame of a transition (KIND is a number 1..38 or a name such as fade)", Wipe});

} // namespace

} // namespace ruko::tool
