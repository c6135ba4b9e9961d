#pragma once

#include <QDialog>

// The modal about box: name, version and what Mavlor does.
class AboutDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget *parent = nullptr);
};
