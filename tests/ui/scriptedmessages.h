// A scripted stand-in for the message boxes and file dialogs: it records every text shown and returns the
// answers a test queued (Cancel, No answer or an empty file name once the queue is empty).
#pragma once

#include "plot/UserMessages.h"

#include <QPrinter>

#include <deque>
#include <vector>

class TScriptedMessages : public UserMessages {
public:
    struct TEntry {
        QString kind; // error, information, warning, confirm, asksave, open, save, color, asktext, printer
        QString text;
    };
    std::vector<TEntry> Log;
    std::deque<bool> ConfirmAnswers;
    std::deque<TSaveAnswer> SaveAnswers;
    std::deque<QString> FileNames;
    std::deque<QColor> Colors; // the colour dialog's choices; an empty queue cancels it

    TScriptedMessages() { SetMessages(this); }
    ~TScriptedMessages() override { SetMessages(nullptr); }
    TScriptedMessages(const TScriptedMessages&) = delete;
    TScriptedMessages& operator=(const TScriptedMessages&) = delete;

    void Error(QWidget*, const QString& text) override { Log.push_back({"error", text}); }
    void Information(QWidget*, const QString& text) override { Log.push_back({"information", text}); }
    void Warning(QWidget*, const QString& text) override { Log.push_back({"warning", text}); }
    bool Confirm(QWidget*, const QString& text) override {
        Log.push_back({"confirm", text});
        return Take(ConfirmAnswers, false);
    }
    TSaveAnswer AskSave(QWidget*, const QString& text) override {
        Log.push_back({"asksave", text});
        return Take(SaveAnswers, TSaveAnswer::Cancel);
    }
    // The open dialog's text is its caption, then its filters.
    QString OpenFile(QWidget*, const QString&, const QStringList& filters, const QString& caption) override {
        Log.push_back({"open", caption + "|" + filters.join(";;")});
        return Take(FileNames, QString());
    }
    QString SaveFile(QWidget*, const QString&, const QStringList& filters) override {
        Log.push_back({"save", filters.join(";;")});
        return Take(FileNames, QString());
    }
    bool ChooseColor(QWidget*, QColor& color) override {
        Log.push_back({"color", color.name()});
        if (Colors.empty()) return false;
        color = Take(Colors, QColor());
        return true;
    }

    // Answers of AskText in turn (a null string cancels), and the PDF files the printer dialog chooses (an
    // empty name cancels).
    std::deque<QString> TextAnswers;
    std::deque<QString> PrinterFiles;
    QString AskText(QWidget*, const QString&, const QString& label, const QString& text) override {
        Log.push_back({"asktext", label + "|" + text});
        return Take(TextAnswers, QString());
    }
    // The printer dialog's text is its kind and the file it shows when it opens.
    bool ChoosePrinter(QWidget*, QPrinter& printer, bool setup) override {
        Log.push_back({"printer", (setup ? "setup|" : "print|") + printer.outputFileName()});
        const QString file = Take(PrinterFiles, QString());
        if (file.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        return true;
    }

    QStringList Texts(const QString& kind) const {
        QStringList out;
        for (const auto& e : Log)
            if (e.kind == kind) out << e.text;
        return out;
    }

private:
    template <class T>
    static T Take(std::deque<T>& queue, T fallback) {
        if (queue.empty()) return fallback;
        T v = queue.front();
        queue.pop_front();
        return v;
    }
};
