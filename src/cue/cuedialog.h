#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QString>

class QListWidget;
class QPushButton;

// Asks which of the CUE sheets found next to the MP3 to use, or none. Rows show the sheet's
// complete base name, the full path is the tool tip. Choosing needs a current row; without
// one the dialog stays open. selectedFile() is empty after Exit.
class CueDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit CueDialog(QWidget *parent = nullptr);

    void addFile(const QString &path);
    QString selectedFile() const { return m_selectedFile; }

public slots:
    void onChoseCueButton();
    void onCloseButton();
    void onItemDblClick(const QModelIndex &index);

private:
    QListWidget *m_list;
    QPushButton *m_chooseButton;
    QPushButton *m_exitButton;
    QString m_selectedFile;
};
