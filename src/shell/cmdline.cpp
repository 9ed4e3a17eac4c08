#include "shell/cmdline.h"

#include <charconv>

namespace ruko {
namespace {

int64_t Number(const std::string& option, const std::string& text, int64_t low, int64_t high)
{
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high)
        throw EUsageError{option + " expects a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not '" + text + "'"};
    return value;
}

} // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args)
{
    TCommandLine line;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            line.Parameters.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // Both "--name value" and "--name=value".
        std::string name = arg, inlineValue;
        bool hasInline = false;
        if (size_t eq = arg.find('='); eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
            hasInline = true;
        }
        auto value = [&]() -> std::string {
            if (hasInline) return inlineValue;
            if (i + 1 >= args.size()) throw EUsageError{name + " needs a value"};
            return args[++i];
        };
        auto flag = [&]() {
            if (hasInline) throw EUsageError{name + " takes no value"};
        };
        if (name == "--help") {
            flag();
            line.Help = true;
        } else if (name == "--headless") {
            flag();
            line.Headless = true;
        } else if (name == "--virtual-clock") {
            flag();
            line.VirtualClock = true;
        } else if (name == "--test-pattern") {
            flag();
            line.TestPattern = true;
        } else if (name == "--frames") {
            line.Frames = Number(name, value(), 1, INT32_MAX);
        } else if (name == "--until") {
            line.Until = Number(name, value(), 0, INT32_MAX);
        } else if (name == "--input") {
            line.InputScript = value();
        } else if (name == "--snapshot") {
            line.Snapshot = value();
        } else if (name == "--snapshot-at") {
            std::string shot = value();
            size_t colon = shot.find(':');
            if (colon == std::string::npos || colon + 1 == shot.size())
                throw EUsageError{"--snapshot-at expects MS:FILE.png, not '" + shot + "'"};
            line.SnapshotsAt.push_back(
                {Number(name, shot.substr(0, colon), 0, INT32_MAX), shot.substr(colon + 1)});
        } else if (name == "--trace") {
            line.Trace = value();
        } else if (name == "--seed") {
            line.Seed = static_cast<uint32_t>(Number(name, value(), 0, UINT32_MAX));
        } else if (name == "--screenshot-window") {
            line.ScreenshotWindow = value();
        } else if (name == "--dump-vars") {
            line.DumpVars = value();
        } else if (name == "--font") {
            line.FontFiles.push_back(value());
        } else if (name == "--font-alias") {
            std::string alias = value();
            size_t eq = alias.find('=');
            if (eq == 0 || eq == std::string::npos || eq + 1 == alias.size())
                throw EUsageError{"--font-alias expects ASKED=FACE, not '" + alias + "'"};
            line.FontAliases.push_back({alias.substr(0, eq), alias.substr(eq + 1)});
        } else if (name == "--audio-out") {
            line.AudioOut = value();
        } else if (name == "--soundfont") {
            line.SoundFont = value();
        } else if (name == "--save-dir") {
            line.SaveDir = value();
            if (line.SaveDir.empty()) throw EUsageError{"--save-dir needs a folder"};
        } else {
            throw EUsageError{"unknown option " + name + " (see rukoplay --help)"};
        }
    }
    if (line.Frames && line.Until) throw EUsageError{"give either --frames or --until, not both"};
    return line;
}

std::string UsageText()
{
    return "Usage: rukoplay [OPTIONS] [DATA-FOLDER [FOLDER-OR-ARCHIVE...]]\n"
           "       rukoplay /config [DATA-FOLDER]\n"
           "\n"
           "Plays a title: the archive appended to the player, or the data folder given, plus the\n"
           "folders holding \"game.dat\" and the archive files named after it. \"/config\" first opens\n"
           "the settings only.\n"
           "\n"
           "Options:\n"
           "  --headless              no window and no sound device: a virtual clock of 15 ms a frame,\n"
           "                          sound consumed as the clock moves\n"
           "  --frames N              stop after N frames\n"
           "  --until MS              stop when the game time reaches MS milliseconds\n"
           "                          (headless runs stop at 60000 ms unless one of these is given;\n"
           "                          every run also ends when the scenario ends it)\n"
           "  --input FILE            scripted input, one event a line:\n"
           "                            <ms> move X Y | click X Y | press left|right | release left|right\n"
           "                            <ms> keydown VK | keyup VK | wheel up|down\n"
           "                            <ms> answer yes|no|ok|cancel   (the next message box)\n"
           "                            <ms> choose PATH | choose cancel (the next file or folder dialog)\n"
           "                          '#' starts a comment\n"
           "  --snapshot FILE.png     write the last frame\n"
           "  --snapshot-at MS:FILE.png  write the frame at game time MS (repeatable)\n"
           "  --trace FILE            write one line per executed command: %.8x : %s(%d)\n"
           "  --seed N                seed every random source (headless default: 0)\n"
           "  --virtual-clock         with a window: time moves exactly 15 ms a frame\n"
           "  --test-pattern          show the built-in test picture instead of the title\n"
           "  --screenshot-window FILE.png  at the end, write the picture as the window shows it\n"
           "  --dump-vars FILE.json   at the end, write every global variable as JSON\n"
           "  --font FILE             one more font (repeatable): a \".rft\" pixel font, or a TrueType or\n"
           "                          OpenType file whose faces are installed for the run and are the\n"
           "                          first tried for characters a face lacks\n"
           "  --font-alias ASKED=FACE draw the face a title asks for with an installed face (repeatable)\n"
           "  --audio-out FILE.wav    write every sound frame played (44100 Hz, 16-bit, stereo)\n"
           "  --soundfont FILE.sf2    the soundfont for MIDI music (default: game.ini [Sound]\n"
           "                          SoundFont, else the system's General-MIDI soundfont)\n"
           "  --save-dir DIR          keep the saves in DIR/save.dat (default:\n"
           "                          $XDG_DATA_HOME/rukoplayer/TITLE/save.dat, else under\n"
           "                          ~/.local/share)\n"
           "  --help                  show this text\n";
}

} // namespace ruko
