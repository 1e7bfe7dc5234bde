#include "tools/render/timeline_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <sstream>

#include "demo/format.h"
#include "tools/common/latin1.h"

namespace tools::render {

std::string xmlText(const std::string& latin1)
{
    std::string out;
    for (unsigned char c : latin1) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\n': out += '\n'; break;
        default:
            if (c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) {
                out += "\xEF\xBF\xBD";  // XML forbids most controls; show that something was there
            } else {
                common::appendLatin1AsUtf8(out, c);
            }
        }
    }
    return out;
}

// The time axis: from the label column to the right margin, leaving room
// for the lives-on arrows.
constexpr double kMargin = 12;
double plotLeftFor(int width)
{
    return kMargin + std::clamp(std::max(400, width) * 0.22, 170.0, 320.0);
}
double plotWidthFor(int width)
{
    return std::max(400, width) - plotLeftFor(width) - kMargin - 14;
}

namespace {

std::string num(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    std::string s = text;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0)
        s.resize(s.size() - 2);
    return s == "-0" ? "0" : s;
}

std::string secondsText(double seconds)
{
    char text[32];
    if (seconds == std::floor(seconds))
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else
        std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

bool isDynamic(const ChartedObject& o)
{
    return o.command >= format::timeline::kScalarDynamic && o.command <= format::timeline::kRotationDynamic;
}

std::string tagOrNone(const std::string& tag)
{
    return tag.empty() ? "(no tag)" : tag;
}

// Rough width of a label in the chart's sans-serif at `size` pixels.
double textWidth(const std::string& utf8, double size)
{
    size_t characters = 0;
    for (unsigned char c : utf8)
        characters += (c & 0xC0) != 0x80;
    return double(characters) * size * 0.56;
}

// One hue per class, the same in every chart.
std::string classColor(const std::string& name, double lightness = 0.55)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    char text[48];
    std::snprintf(text, sizeof text, "hsl(%u,55%%,%d%%)", unsigned(h % 360), int(lightness * 100));
    return text;
}

std::string dynamicColor(int16_t command)
{
    switch (command) {
    case format::timeline::kScalarDynamic: return "#e08a1e";  // scalar
    case format::timeline::kTranslationDynamic: return "#1f9e89";  // translation
    default: return "#8a55c9";    // rotation
    }
}

const char* dynamicKind(int16_t command)
{
    switch (command) {
    case format::timeline::kScalarDynamic: return "scalar";
    case format::timeline::kTranslationDynamic: return "translation";
    default: return "rotation";
    }
}

struct Row {
    enum Kind { Instance, Lane } kind = Instance;
    int object = -1;            // Instance: the object of the row
    int owner = -1;             // Lane: the object whose dynamics it holds
    std::vector<int> dynamics;  // Lane: the dynamics in it
    int depth = 0;
    double y = 0, height = 0;
};

class SvgChart {
public:
    SvgChart(const ChartInput& input, const ChartLayout& layout) : in_(input), walk_(input.walk), layout_(layout) {}

    std::string build()
    {
        planRows();
        planGeometry();
        header();
        axis();
        entries();
        music();
        thumbnails();
        rows();
        legend();
        out_ << "</svg>\n";
        return out_.str();
    }

private:
    const ChartInput& in_;
    const TimelineWalk& walk_;
    ChartLayout layout_;
    std::ostringstream out_;
    std::vector<Row> rows_;

    double width_ = 0, height_ = 0, unit_ = 1;
    double plotLeft_ = 0, plotWidth_ = 0, labelLeft_ = 12;
    double axisY_ = 0, entriesY_ = 0, musicY_ = 0, thumbsY_ = 0, thumbH_ = 0, rowsY_ = 0, legendY_ = 0;
    static constexpr double kIndent = 14;

    double x(double frameBoundary) const { return plotLeft_ + frameBoundary * plotWidth_ / walk_.frames; }
    double seconds(int32_t frameBoundary) const
    {
        return walk_.frameRate > 0 ? double(frameBoundary) / walk_.frameRate : 0;
    }
    const ChartedObject& object(int index) const { return walk_.objects[size_t(index)]; }

    // The frame an object's bar ends on: its last step (an object that was
    // never stepped has none).
    int32_t lastFrameOf(const ChartedObject& o) const { return o.lastStep; }

    // Rows in tree order: each instance, the lanes of its dynamics, then
    // its child instances, siblings in the order they were made.
    void planRows()
    {
        const int count = int(walk_.objects.size());
        std::vector<std::vector<int>> children(walk_.objects.size());
        std::vector<int> roots;
        for (int i = 0; i < count; ++i) {
            const int parent = object(i).parent;
            (parent >= 0 ? children[size_t(parent)] : roots).push_back(i);
        }
        // A dynamic gets a lane of its parent's only when nothing is placed
        // under it; otherwise (data may place instances under a dynamic) it
        // is a row of its own.
        std::function<void(int)> visit = [&](int index) {
            Row row;
            row.object = index;
            row.depth = object(index).depth;
            rows_.push_back(row);
            std::vector<int> laneItems;
            for (int child : children[size_t(index)]) {
                if (isDynamic(object(child)) && children[size_t(child)].empty())
                    laneItems.push_back(child);
            }
            packLanes(index, laneItems, row.depth + 1);
            for (int child : children[size_t(index)]) {
                if (!isDynamic(object(child)) || !children[size_t(child)].empty())
                    visit(child);
            }
        };
        for (int root : roots)
            visit(root);
    }

    // Where a dynamic's bar runs and where its label goes: after the bar
    // when it fits before the right edge, else before the bar, else over
    // the bar's start.
    struct DynamicPlace {
        double barFrom, barTo, labelX;
        bool labelAfter, labelBefore;
    };
    DynamicPlace placeOf(int index) const
    {
        const ChartedObject& o = object(index);
        DynamicPlace p;
        p.barFrom = o.firstStep ? x(o.firstStep - 1) : x(o.madeAt - 1);
        p.barTo = o.firstStep ? x(o.lastStep) : p.barFrom + 3;
        const double label = textWidth(xmlText(o.parameter), 9);
        p.labelAfter = p.barTo + 3 + label <= width_ - 2;
        // Before the bar it may reach into the label column, whose lane
        // label ("dynamics") is short.
        p.labelBefore = !p.labelAfter && p.barFrom - 3 - label >= plotLeft_ - 0.4 * (plotLeft_ - kMargin);
        p.labelX = p.labelAfter ? p.barTo + 3 : p.labelBefore ? p.barFrom - 3 : p.barFrom + 2;
        return p;
    }

    // Extent of a dynamic in its lane, label included.
    std::pair<double, double> laneExtent(int index) const
    {
        const DynamicPlace p = placeOf(index);
        const double label = textWidth(xmlText(object(index).parameter), 9) + 6;
        if (p.labelAfter)
            return {p.barFrom, p.barTo + label};
        if (p.labelBefore)
            return {p.barFrom - label, p.barTo};
        return {p.barFrom, std::max(p.barTo, p.barFrom + label)};
    }

    // Dynamics that do not overlap (bar and label) share a lane.
    void packLanes(int owner, const std::vector<int>& items, int depth)
    {
        std::vector<Row> lanes;
        std::vector<double> laneEnds;
        for (int item : items) {
            auto [from, to] = laneExtent(item);
            size_t lane = 0;
            while (lane < lanes.size() && laneEnds[lane] > from)
                ++lane;
            if (lane == lanes.size()) {
                Row row;
                row.kind = Row::Lane;
                row.owner = owner;
                row.depth = depth;
                lanes.push_back(row);
                laneEnds.push_back(0);
            }
            lanes[lane].dynamics.push_back(item);
            laneEnds[lane] = to;
        }
        rows_.insert(rows_.end(), lanes.begin(), lanes.end());
    }

    void planGeometry()
    {
        width_ = std::max(400, layout_.width);
        plotLeft_ = plotLeftFor(layout_.width);
        plotWidth_ = plotWidthFor(layout_.width);
        axisY_ = 52;
        entriesY_ = axisY_ + 40;
        musicY_ = entriesY_ + 20;
        const double musicH = 46;
        thumbsY_ = musicY_ + musicH + 10;
        thumbH_ = 0;
        if (!in_.thumbnails.empty()) {
            const ChartThumbnail& t = in_.thumbnails.front();
            thumbH_ = t.width > 0 ? double(t.height) * thumbWidth() / t.width : 0;
        }
        rowsY_ = thumbsY_ + (thumbH_ > 0 ? thumbH_ + 26 : 0);
        double natural = 0;
        for (const Row& row : rows_)
            natural += row.kind == Row::Instance ? 20 : 13;
        const double legendH = 56;  // two lines, should a narrow chart wrap it
        unit_ = 1;
        if (layout_.height > 0 && natural > 0)
            unit_ = std::clamp((layout_.height - rowsY_ - legendH) / natural, 0.5, 3.0);
        double y = rowsY_;
        for (Row& row : rows_) {
            row.y = y;
            row.height = (row.kind == Row::Instance ? 20 : 13) * unit_;
            y += row.height;
        }
        legendY_ = y + 8;
        height_ = legendY_ + legendH - 8;
    }

    double thumbWidth() const
    {
        const size_t n = in_.thumbnails.size();
        if (!n)
            return 0;
        return std::min(180.0, (plotWidth_ - 6.0 * double(n - 1)) / double(n));
    }

    void header()
    {
        const double shownHeight = layout_.height > 0 ? layout_.height : std::ceil(height_);
        out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             << "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\""
             << " width=\"" << num(width_) << "\" height=\"" << num(shownHeight) << "\" viewBox=\"0 0 "
             << num(width_) << " " << num(std::ceil(height_)) << "\""
             << " font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\""
             << " data-plot-left=\"" << num(plotLeft_) << "\" data-plot-width=\"" << num(plotWidth_)
             << "\" data-frames=\"" << walk_.frames << "\" data-frame-rate=\"" << walk_.frameRate << "\">\n";
        out_ << "<style>"
                ".lbl{font-size:11px;fill:#222}.small{font-size:9px;fill:#555}.ax{font-size:10px;fill:#333}"
                ".bar{stroke:#0006;stroke-width:.5}.dyn{stroke:none}.planned{fill:none;stroke:#b33;"
                "stroke-dasharray:3 2;stroke-width:1}.cut{stroke:#c00;stroke-width:2}"
                ".guide{stroke:#0001;stroke-width:1}"
                "</style>\n";
        out_ << "<rect x=\"0\" y=\"0\" width=\"" << num(width_) << "\" height=\"" << num(std::ceil(height_))
             << "\" fill=\"#fbfbf8\"/>\n";
        std::string subtitle = std::to_string(walk_.frames) + " frames";
        if (walk_.frameRate > 0) {
            char text[64];
            std::snprintf(text, sizeof text, " at %d fps (%.2f s)", walk_.frameRate,
                          double(walk_.frames) / walk_.frameRate);
            subtitle += text;
        } else {
            subtitle += ", no frame rate";
        }
        subtitle += walk_.loop ? ", loops" : ", no loop";
        subtitle += "; " + std::to_string(walk_.entries.size()) + " entries, " +
                    std::to_string(walk_.objects.size()) + " instances and dynamics";
        out_ << "<text x=\"" << kMargin << "\" y=\"22\" font-size=\"15\" font-weight=\"bold\" fill=\"#111\">"
             << xmlText(in_.title) << "</text>\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"39\" class=\"lbl\">" << xmlText(subtitle) << "</text>\n";
    }

    // Seconds above the line, frame numbers below it.
    void axis()
    {
        const double lineY = axisY_ + 16;
        out_ << "<g class=\"axis\">\n";
        out_ << "<line x1=\"" << num(x(0)) << "\" y1=\"" << num(lineY) << "\" x2=\"" << num(x(walk_.frames))
             << "\" y2=\"" << num(lineY) << "\" stroke=\"#333\"/>\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"" << num(lineY - 4) << "\" class=\"ax\">"
             << (walk_.frameRate > 0 ? "seconds" : "") << "</text>\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"" << num(lineY + 14) << "\" class=\"ax\">frames</text>\n";
        const double maxTicks = std::max(2.0, plotWidth_ / 70);
        if (walk_.frameRate > 0) {
            const double total = double(walk_.frames) / walk_.frameRate;
            double step = 1;
            for (double s : {0.05, 0.1, 0.25, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 1800.0}) {
                step = s;
                if (total / s <= maxTicks)
                    break;
            }
            for (int k = 0; k * step <= total + 1e-9; ++k) {
                const double t = k * step;
                const double px = x(t * walk_.frameRate);
                out_ << "<line x1=\"" << num(px) << "\" y1=\"" << num(lineY - 3) << "\" x2=\"" << num(px)
                     << "\" y2=\"" << num(lineY) << "\" stroke=\"#333\"/>";
                out_ << "<text x=\"" << num(px) << "\" y=\"" << num(lineY - 5)
                     << "\" class=\"ax\" text-anchor=\"middle\">" << secondsText(t) << "</text>\n";
            }
        }
        // Frame n starts at n - 1 frame widths.
        int32_t step = 1;
        for (int32_t s : {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 2500, 5000, 10000}) {
            step = s;
            if (walk_.frames / double(s) <= maxTicks)
                break;
        }
        for (int32_t n = 1; n <= walk_.frames; n = n == 1 && step > 1 ? step : n + step) {
            const double px = x(n - 1);
            out_ << "<line x1=\"" << num(px) << "\" y1=\"" << num(lineY) << "\" x2=\"" << num(px) << "\" y2=\""
                 << num(lineY + 3) << "\" stroke=\"#333\"/>";
            out_ << "<text x=\"" << num(px) << "\" y=\"" << num(lineY + 14)
                 << "\" class=\"ax\" text-anchor=\"middle\">" << n << "</text>\n";
        }
        out_ << "</g>\n";
    }

    void entries()
    {
        const double y = entriesY_;
        out_ << "<g class=\"entries\">\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"" << num(y + 10) << "\" class=\"lbl\">entries</text>\n";
        for (const ChartedEntry& e : walk_.entries) {
            const double px = x(e.frame - 1);
            out_ << "<line class=\"guide\" x1=\"" << num(px) << "\" y1=\"" << num(y + 12) << "\" x2=\"" << num(px)
                 << "\" y2=\"" << num(height_ - 40) << "\"/>";
            out_ << "<path class=\"entry\" data-frame=\"" << e.frame << "\" d=\"M" << num(px - 4) << " "
                 << num(y + 2) << "h8l-4 9z\" fill=\"#345\"><title>entry at frame " << e.frame;
            if (walk_.frameRate > 0)
                out_ << " (" << secondsText(seconds(e.frame - 1)) << ")";
            out_ << ": " << e.commands << (e.commands == 1 ? " command" : " commands") << "</title></path>\n";
        }
        for (const ChartedResourceSkip& s : walk_.otherSkips) {
            const double px = x(s.frame - 1);
            out_ << "<path class=\"skip-mark\" data-frame=\"" << s.frame << "\" d=\"" << chevrons(px, y + 13, 5)
                 << "\" fill=\"#c22\"><title>"
                 << (s.command == format::timeline::kFastForwardResource ? "resource " : "instance ")
                 << xmlText(tagOrNone(s.tag)) << " fast-forwarded " << s.count << " frames at frame " << s.frame
                 << (s.found ? "" : " (the tag names nothing)") << "</title></path>\n";
        }
        out_ << "</g>\n";
    }

    static std::string chevrons(double px, double y, double h)
    {
        std::string d;
        for (int i = 0; i < 2; ++i) {
            const double x0 = px + i * h * 0.7;
            d += "M" + num(x0) + " " + num(y) + "l" + num(h * 0.7) + " " + num(h / 2) + "l" + num(-h * 0.7) + " " +
                 num(h / 2) + "z";
        }
        return d;
    }

    // The music plays from the first step of its instance until the
    // instance goes; that stretch of the audio is drawn where it is heard.
    void music()
    {
        const double y = musicY_, h = 46, mid = y + h / 2;
        out_ << "<g class=\"music\">\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"" << num(mid + 4) << "\" class=\"lbl\">music</text>\n";
        out_ << "<rect x=\"" << num(x(0)) << "\" y=\"" << num(y) << "\" width=\"" << num(plotWidth_)
             << "\" height=\"" << h << "\" fill=\"#eef1f5\"/>\n";
        const demosound::Pcm* pcm = in_.music;
        std::string note = in_.musicNote;
        if (pcm && (pcm->rate <= 0 || pcm->frames() == 0))
            pcm = nullptr;
        if (pcm && walk_.frameRate <= 0) {
            note = "the demo has no frame rate, so its music has no place on the axis";
            pcm = nullptr;
        }
        if (!pcm) {
            out_ << "<text x=\"" << num(x(0) + 6) << "\" y=\"" << num(mid + 4) << "\" class=\"small\">"
                 << xmlText(note.empty() ? "no music" : note) << "</text>\n</g>\n";
            return;
        }
        const ChartedObject* track = nullptr;
        for (const ChartedObject& o : walk_.objects) {
            if (o.className == "MusicTrack" && o.firstStep) {
                track = &o;
                break;
            }
        }
        // Without an instance nothing is heard: the file is drawn from frame 1, greyed.
        const int32_t from = track ? track->firstStep : 1;
        const int32_t to = track ? track->lastStep : walk_.frames;
        const double startSeconds = seconds(from - 1);
        const double endSeconds = seconds(to);
        const int columns = std::max(1, int(plotWidth_));
        std::vector<float> peaks(size_t(columns), -1.0f);
        float loudest = 0;
        const uint32_t total = pcm->frames();
        for (int c = 0; c < columns; ++c) {
            const double t0 = seconds(0) + double(c) * walk_.frames / columns / walk_.frameRate;
            const double t1 = double(c + 1) * walk_.frames / columns / walk_.frameRate;
            const double a = std::max(t0, startSeconds), b = std::min(t1, endSeconds);
            if (b <= a)
                continue;
            const double s0 = (a - startSeconds) * pcm->rate, s1 = (b - startSeconds) * pcm->rate;
            if (s0 >= total)
                continue;
            const uint32_t i0 = uint32_t(s0), i1 = uint32_t(std::min<double>(s1, total));
            int peak = 0;
            for (uint32_t i = i0; i < std::max(i1, i0 + 1) && i < total; ++i) {
                for (int ch = 0; ch < pcm->channels; ++ch)
                    peak = std::max(peak, std::abs(int(pcm->samples[size_t(i) * pcm->channels + ch])));
            }
            peaks[size_t(c)] = float(peak) / 32768.0f;
            loudest = std::max(loudest, peaks[size_t(c)]);
        }
        std::string top, bottom;
        int drawnFrom = -1;
        for (int c = 0; c < columns; ++c) {
            if (peaks[size_t(c)] < 0)
                continue;
            const double v = loudest > 0 ? peaks[size_t(c)] / loudest * (h / 2 - 2) : 0;
            const double px = x(0) + c + 0.5;
            top += (drawnFrom < 0 ? "M" : "L") + num(px) + " " + num(mid - std::max(0.5, v));
            bottom = "L" + num(px) + " " + num(mid + std::max(0.5, v)) + bottom;
            if (drawnFrom < 0)
                drawnFrom = c;
        }
        if (drawnFrom >= 0) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.2f", double(total) / pcm->rate);
            out_ << "<path class=\"waveform\" d=\"" << top << bottom << "Z\" fill=\"" << (track ? "#3d6fb6" : "#9aa")
                 << "\"><title>music: " << seconds << " s of audio, " << pcm->rate << " Hz, "
                 << (pcm->channels == 2 ? "stereo" : "mono");
            if (track)
                out_ << "; heard from frame " << from << " to frame " << to << " (its instance "
                     << xmlText(tagOrNone(track->tag)) << "); volume changes are not drawn";
            else
                out_ << "; no music instance plays it";
            out_ << "</title></path>\n";
        }
        out_ << "</g>\n";
    }

    void thumbnails()
    {
        if (in_.thumbnails.empty())
            return;
        const double w = thumbWidth(), h = thumbH_;
        const double y = thumbsY_;
        out_ << "<g class=\"thumbnails\">\n";
        out_ << "<text x=\"" << kMargin << "\" y=\"" << num(y + h / 2 + 4) << "\" class=\"lbl\">frames</text>\n";
        const size_t n = in_.thumbnails.size();
        for (size_t i = 0; i < n; ++i) {
            const ChartThumbnail& t = in_.thumbnails[i];
            // Each in its own slot; a line points at the frame it shows.
            const double slot = x(0) + double(i) * (w + 6.0) + (plotWidth_ - double(n) * w - double(n - 1) * 6) / 2;
            const double at = x(t.frame - 0.5);
            out_ << "<line x1=\"" << num(at) << "\" y1=\"" << num(axisY_ + 16) << "\" x2=\"" << num(slot + w / 2)
                 << "\" y2=\"" << num(y) << "\" stroke=\"#0003\"/>";
            out_ << "<image class=\"thumbnail\" data-frame=\"" << t.frame << "\" x=\"" << num(slot) << "\" y=\""
                 << num(y) << "\" width=\"" << num(w) << "\" height=\"" << num(h)
                 << "\" preserveAspectRatio=\"none\" xlink:href=\"data:image/png;base64," << base64(t.png)
                 << "\"><title>frame " << t.frame << "</title></image>";
            out_ << "<text x=\"" << num(slot + w / 2) << "\" y=\"" << num(y + h + 12)
                 << "\" class=\"small\" text-anchor=\"middle\">frame " << t.frame;
            if (walk_.frameRate > 0)
                out_ << " · " << secondsText(seconds(t.frame - 1));
            out_ << "</text>\n";
        }
        out_ << "</g>\n";
    }

    std::string endText(const ChartedObject& o) const
    {
        std::string text;
        if (!o.placed)
            return "registered but placed nowhere: never stepped";
        if (!o.firstStep)
            text = "never stepped";
        else
            text = "frames " + std::to_string(o.firstStep) + " to " + std::to_string(o.lastStep) + " (" +
                   std::to_string(o.lastStep - o.firstStep + 1) + ")";
        if (o.endedAt && !o.ownEnd) {
            const int cutter = cutBy(o);
            text += "; ended at frame " + std::to_string(o.endedAt) + " with ";
            text += cutter >= 0 ? xmlText(tagOrNone(object(cutter).tag)) + " (" + xmlText(object(cutter).className) + ")"
                                : std::string("its parent");
            text += o.plannedLast ? ", its own length would have run to frame " + std::to_string(o.plannedLast)
                                  : ", its own length is unlimited";
        } else if (!o.endedAt) {
            text += walk_.loop ? "; still there at the end of the pass, and lives on when the demo loops"
                               : "; still there at the end of the demo";
        }
        return text;
    }

    // The nearest ancestor that ended in the same frame by its own length.
    int cutBy(const ChartedObject& o) const
    {
        for (int p = o.parent; p >= 0; p = object(p).parent) {
            if (object(p).endedAt == o.endedAt && object(p).ownEnd)
                return p;
        }
        return o.parent;
    }

    std::string hover(int index) const
    {
        const ChartedObject& o = object(index);
        std::string text = xmlText(tagOrNone(o.tag)) + " (" + xmlText(o.className) + ")";
        if (isDynamic(o))
            text += ": " + std::string(dynamicKind(o.command)) + " dynamic on \"" + xmlText(o.parameter) + "\"";
        if (o.command == format::timeline::kPlaceTransformCopy)
            text += ": a transform copy (1005)";
        text += "\nstart " + std::to_string(o.start) + ", length " + std::to_string(o.length) + ", frame " +
                std::to_string(o.frame);
        text += "; made at frame " + std::to_string(o.madeAt);
        if (o.parent >= 0)
            text += " under " + xmlText(tagOrNone(object(o.parent).tag));
        text += "\n" + endText(o);
        for (const ChartedSkip& s : o.skips)
            text += "\nfast-forwarded " + std::to_string(s.count) + " frames at frame " + std::to_string(s.frame);
        return text;
    }

    std::string endKind(const ChartedObject& o) const
    {
        if (!o.endedAt)
            return "demo";
        return o.ownEnd ? "own" : "parent";
    }

    // The bar and its marks; `top` and `h` its band.
    void bar(int index, double top, double h, bool slim)
    {
        const ChartedObject& o = object(index);
        const std::string fill = isDynamic(o) ? dynamicColor(o.command) : classColor(o.className);
        const int32_t first = o.firstStep, last = lastFrameOf(o);
        out_ << "<rect class=\"bar" << (slim ? " dyn" : "") << "\" data-id=\"" << index << "\" data-parent=\""
             << o.parent << "\" data-depth=\"" << o.depth << "\" data-kind=\"" << (isDynamic(o) ? "dynamic" : "instance")
             << "\" data-tag=\"" << xmlText(o.tag) << "\" data-class=\"" << xmlText(o.className) << "\" data-command=\""
             << o.command << "\" data-first=\"" << first << "\" data-last=\"" << last << "\" data-end=\""
             << endKind(o) << "\"";
        if (isDynamic(o))
            out_ << " data-parameter=\"" << xmlText(o.parameter) << "\"";
        if (first > 0) {
            out_ << " x=\"" << num(x(first - 1)) << "\" y=\"" << num(top) << "\" width=\""
                 << num(std::max(0.5, x(last) - x(first - 1))) << "\" height=\"" << num(h) << "\" fill=\"" << fill
                 << "\"";
        } else {
            // Never stepped: an empty frame where it was made.
            out_ << " x=\"" << num(x(o.madeAt - 1)) << "\" y=\"" << num(top) << "\" width=\"3\" height=\"" << num(h)
                 << "\" fill=\"none\" stroke=\"" << fill << "\" stroke-dasharray=\"2 1\"";
        }
        out_ << "><title>" << hover(index) << "</title></rect>";
        const double endX = first > 0 ? x(last) : x(o.madeAt - 1) + 3;
        if (o.endedAt && !o.ownEnd && o.placed) {
            // Cut short by an ancestor: a red end, and the rest of its own
            // length as a dashed outline.
            const int32_t planned = o.plannedLast ? std::min(o.plannedLast, walk_.frames) : walk_.frames;
            if (planned > o.endedAt)
                out_ << "<rect class=\"planned\" data-id=\"" << index << "\" x=\"" << num(endX) << "\" y=\""
                     << num(top) << "\" width=\"" << num(x(planned) - endX) << "\" height=\"" << num(h) << "\"/>";
            out_ << "<line class=\"cut\" data-id=\"" << index << "\" x1=\"" << num(endX) << "\" y1=\""
                 << num(top - 1.5) << "\" x2=\"" << num(endX) << "\" y2=\"" << num(top + h + 1.5) << "\"/>";
        }
        if (!o.endedAt && o.placed && first > 0) {
            const double mid = top + h / 2;
            out_ << "<path class=\"lives-on\" d=\"M" << num(endX + 1) << " " << num(mid - h / 2) << "l" << num(h / 2 + 2)
                 << " " << num(h / 2) << "l" << num(-(h / 2 + 2)) << " " << num(h / 2) << "z\" fill=\"" << fill
                 << "\"/>";
        }
        if (o.command == format::timeline::kPlaceTransformCopy) {
            const double px = x((first > 0 ? first : o.madeAt) - 1), mid = top + h / 2, r = h / 2 + 1.5;
            out_ << "<path class=\"copy-mark\" data-id=\"" << index << "\" d=\"M" << num(px) << " " << num(mid - r)
                 << "l" << num(r) << " " << num(r) << "l" << num(-r) << " " << num(r) << "l" << num(-r) << " "
                 << num(-r) << "z\" fill=\"#fff\" stroke=\"#222\"><title>" << xmlText(tagOrNone(o.tag))
                 << ": a transform copy (1005) of a resource, carrying its placement and clones of its children"
                 << "</title></path>";
        }
        for (const ChartedSkip& s : o.skips) {
            out_ << "<path class=\"skip-mark\" data-id=\"" << index << "\" data-frame=\"" << s.frame << "\" d=\""
                 << chevrons(x(s.frame - 1), top - 1, h + 2) << "\" fill=\"#c22\"><title>"
                 << xmlText(tagOrNone(o.tag)) << " fast-forwarded " << s.count << " frames at frame " << s.frame
                 << " (1006)</title></path>";
        }
        out_ << "\n";
    }

    void rows()
    {
        out_ << "<g class=\"rows\">\n";
        bool shade = false;
        for (const Row& row : rows_) {
            if (row.kind == Row::Instance) {
                shade = !shade;
                const ChartedObject& o = object(row.object);
                out_ << "<g class=\"row\" data-id=\"" << row.object << "\" data-depth=\"" << row.depth << "\">";
                if (shade)
                    out_ << "<rect x=\"0\" y=\"" << num(row.y) << "\" width=\"" << num(width_) << "\" height=\""
                         << num(row.height) << "\" fill=\"#0000000a\"/>";
                const double labelX = labelLeft_ + row.depth * kIndent;
                const double fontSize = std::clamp(11 * unit_, 7.0, 13.0);
                out_ << "<text x=\"" << num(labelX) << "\" y=\"" << num(row.y + row.height / 2 + fontSize * 0.36)
                     << "\" font-size=\"" << num(fontSize) << "\" fill=\"#222\"><tspan font-weight=\"bold\">"
                     << xmlText(tagOrNone(o.tag)) << "</tspan> " << xmlText(o.className);
                if (o.command == format::timeline::kPlaceTransformCopy)
                    out_ << " copy";
                if (!o.placed)
                    out_ << " (placed nowhere)";
                out_ << "</text>";
                const double h = row.height * 0.6;
                bar(row.object, row.y + (row.height - h) / 2, h, isDynamic(o));
                if (isDynamic(o))
                    dynamicLabel(row.object, row.y + (row.height - h) / 2, h);
                out_ << "</g>\n";
            } else {
                out_ << "<g class=\"lane\" data-owner=\"" << row.owner << "\" data-depth=\"" << row.depth << "\">";
                if (&row == &rows_.front() || (&row)[-1].kind == Row::Instance) {
                    out_ << "<text x=\"" << num(labelLeft_ + row.depth * kIndent) << "\" y=\""
                         << num(row.y + row.height / 2 + laneFont() * 0.35) << "\" class=\"small\" style=\"font-size:"
                         << num(laneFont()) << "px\">dynamics</text>";
                }
                const double h = row.height * 0.5;
                for (int d : row.dynamics) {
                    bar(d, row.y + (row.height - h) / 2, h, true);
                    dynamicLabel(d, row.y + (row.height - h) / 2, h);
                }
                out_ << "</g>\n";
            }
        }
        out_ << "</g>\n";
    }

    // Lanes are packed for 9-pixel labels before the rows are fitted to the
    // height, so labels may shrink with the rows but never grow.
    double laneFont() const { return std::clamp(9 * unit_, 6.0, 9.0); }

    void dynamicLabel(int index, double top, double h)
    {
        const DynamicPlace p = placeOf(index);
        out_ << "<text x=\"" << num(p.labelX) << "\" y=\"" << num(top + h / 2 + laneFont() * 0.35)
             << "\" class=\"small\" style=\"font-size:" << num(laneFont()) << "px\"";
        if (p.labelBefore)
            out_ << " text-anchor=\"end\"";
        else if (!p.labelAfter)
            out_ << " stroke=\"#fbfbf8\" stroke-width=\"2.5\" paint-order=\"stroke\"";  // over the bar, haloed
        out_ << ">" << xmlText(object(index).parameter) << "</text>";
    }

    void legend()
    {
        double px = kMargin;
        double y = legendY_ + 6;
        auto item = [&](const std::function<std::string(double, double)>& shape, const std::string& text) {
            const double w = 22 + textWidth(text, 9) + 18;
            if (px > kMargin && px + w > width_ - kMargin) {
                px = kMargin;
                y += 16;
            }
            out_ << shape(px, y) << "<text x=\"" << num(px + 22) << "\" y=\"" << num(y + 9) << "\" class=\"small\">"
                 << text << "</text>";
            px += w;
        };
        out_ << "<g class=\"legend\">";
        const std::string instanceFill = classColor("Transform");
        const std::string dynamicFill = dynamicColor(format::timeline::kScalarDynamic);
        item([&](double x, double y) {
            return "<rect x=\"" + num(x) + "\" y=\"" + num(y + 2) + "\" width=\"18\" height=\"9\" fill=\"" +
                   instanceFill + "\"/>";
        }, "instance: from its first step to its last");
        item([&](double x, double y) {
            return "<rect x=\"" + num(x) + "\" y=\"" + num(y + 4) + "\" width=\"18\" height=\"5\" fill=\"" +
                   dynamicFill + "\"/>";
        }, "dynamic (scalar, translation, rotation) with its parameter");
        item([](double x, double y) {
            return "<line class=\"cut\" x1=\"" + num(x + 9) + "\" y1=\"" + num(y) + "\" x2=\"" + num(x + 9) +
                   "\" y2=\"" + num(y + 13) + "\"/><rect class=\"planned\" x=\"" + num(x + 9) + "\" y=\"" +
                   num(y + 2) + "\" width=\"9\" height=\"9\"/>";
        }, "ended with its parent; dashed: its own length");
        item([](double x, double y) {
            return "<path d=\"M" + num(x + 6) + " " + num(y + 1) +
                   "l5.5 5.5l-5.5 5.5l-5.5-5.5z\" fill=\"#fff\" stroke=\"#222\"/>";
        }, "transform copy (1005)");
        item([](double x, double y) { return "<path d=\"" + chevrons(x + 3, y + 1, 11) + "\" fill=\"#c22\"/>"; },
             "fast-forward (1006, 1007)");
        item([](double x, double y) {
            return "<path d=\"M" + num(x + 4) + " " + num(y + 1) + "h8l-4 9z\" fill=\"#345\"/>";
        }, "timeline entry");
        out_ << "</g>\n";
    }
};

}  // namespace

std::string timelineSvg(const ChartInput& input, const ChartLayout& layout)
{
    return SvgChart(input, layout).build();
}

}  // namespace tools::render
