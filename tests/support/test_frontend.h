// The front end of the core's tests: a window with no screen. It keeps the log pane's text
// as the core rendered it, answers dialogs with what the test put in it, and lets a test
// watch the progress label, the log and every event pump, and press Cancel at a pump.
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

#include "source/text.h"
#include "ui/frontend.h"

class TestFrontend final : public Frontend {
public:
    // Answers: the input dialog (the PIN), the "Encoded file" and "Save report" dialogs, the
    // clipboard.
    Text Answer;
    Text SaveName;
    Text ReportName;
    Text Clipboard;
    Placement Geometry{200, 200, 468, 287};

    // What the front end was asked to show.
    Text Pane;                       // the log pane, as rendered
    Text ProgressLabel;              // the label as last rendered
    std::vector<Text> Questions;     // the input dialogs' prompts, in order
    std::vector<Text> MessageBoxes;  // "caption: text", in order
    long Pumps = 0;                  // event pumps run so far

    // Each hook that is set is called when the named thing happens.
    std::function<void(TextView)> OnProgressLabel;  // the progress label now reads this
    std::function<void(TextView)> OnLogAppend;      // this piece went to the end of the log
    std::function<void()> OnLogClear;               // the log was cleared
    std::function<bool()> OnPump;                   // an event pump ran; true: Cancel pressed

    void RenderControl(const Controls& model, ControlId id) override {
        if (id != ControlId::ProgressLabel) return;
        ProgressLabel = model.ProgressLabel;
        if (OnProgressLabel) OnProgressLabel(model.ProgressLabel);
    }
    void RenderLogAppend(TextView piece) override {
        Pane += piece;
        if (OnLogAppend) OnLogAppend(piece);
    }
    void RenderLogClear() override {
        Pane.clear();
        if (OnLogClear) OnLogClear();
    }
    void RenderLogEraseEnd(int count) override {
        Pane.erase(Pane.size() - std::min<size_t>(Pane.size(), static_cast<size_t>(count)));
    }
    void RenderLogDropFirstLines(int lines) override {
        size_t at = 0;
        for (int n = 0; n < lines && at != Text::npos; ++n) {
            at = Pane.find(u'\n', at);
            if (at != Text::npos) ++at;
        }
        Pane.erase(0, at == Text::npos ? Pane.size() : at);
    }
    void RenderShowLogEnd() override {}
    Text LogPaneText() override { return Pane; }
    bool DrainWindowEvents() override {
        ++Pumps;
        return OnPump && OnPump();
    }
    Text AskInput(TextView, TextView prompt, TextView, bool) override {
        Questions.emplace_back(prompt);
        return Answer;
    }
    Text AskSaveFileName(TextView title, TextView, TextView) override {
        return title == u"Save report" ? ReportName : SaveName;
    }
    void ShowMessageBox(TextView caption, TextView text) override {
        MessageBoxes.push_back(Text(caption) + u": " + Text(text));
    }
    Text ClipboardText() override { return Clipboard; }
    Placement CurrentWindowGeometry() override { return Geometry; }
};
