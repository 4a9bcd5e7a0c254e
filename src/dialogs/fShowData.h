#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TfrmShowData;
}

class Options;
class TdmFAQData;

// A plain text window with a Close button; Escape closes it from anywhere in it.
class TfrmShowData : public QDialog {
    Q_OBJECT
public:
    explicit TfrmShowData(QWidget* parent = nullptr);
    ~TfrmShowData() override;

    // Lines end with CR LF, as the reports build them.
    void setDataText(const QString& text);
    // Opens at this frame position and size instead of centred on the screen.
    void PlaceAt(int left, int top, int width, int height);
    void setReadOnly(bool readOnly);

protected:
    void showEvent(QShowEvent* event) override;

private:
    const std::unique_ptr<Ui::TfrmShowData> ui;
    bool m_centred = true;
};

// The shown Message's notes, read-only, at the remembered place, which is saved on closing.
void ShowInternalNotes(const QString& notes, Options& options, QWidget* parent);
// Every Message's Hotword and short description.
void ShowHotwordList(TdmFAQData& store, QWidget* parent);
// How often each Message was used.
void ShowUsageReport(TdmFAQData& store, QWidget* parent);
