#pragma once

#include <QObject>
#include <QString>

class Interaction;
class QWidget;
class TdmFAQData;

// File > Import... and File > Export...: whole collections of Messages in and out, in the
// formats of the exchange library, with a summary of what came in or went out.
class ImportExport : public QObject {
    Q_OBJECT
public:
    // The window is the parent of the progress dialog.
    ImportExport(TdmFAQData& store, Interaction& boxes, QWidget& window);

    void actImportExecute();
    void actExportExecute();

Q_SIGNALS:
    // Messages were added; the tree is to be refilled before the summary shows.
    void messagesImported();

private:
    void ImportFile(const QString& path);
    void ExportFile(const QString& path);

    TdmFAQData& m_store;
    Interaction& m_boxes;
    QWidget& m_window;
};
