#pragma once

// The reading views' font size, line spacing and page margins, kept between runs in the "reading"
// group of the settings store. Loaded once (limits applied there only: font size 8 to 72, line
// spacing 0.1 to 3.0, margins 0 to 128), written by save(), which writes only what changed since
// the load, so that a preference another process on the same store saved meanwhile survives.
//
// GUI thread only.

#include <QObject>
#include <QVariantMap>

class AppState;

class ReadingPreferences : public QObject {
    Q_OBJECT
    Q_PROPERTY(int fontSize READ fontSize WRITE setFontSize NOTIFY fontSizeChanged FINAL)
    Q_PROPERTY(double lineSpacing READ lineSpacing WRITE setLineSpacing NOTIFY lineSpacingChanged FINAL)
    Q_PROPERTY(int horizontalMargin READ horizontalMargin WRITE setHorizontalMargin NOTIFY horizontalMarginChanged FINAL)
    Q_PROPERTY(int verticalMargin READ verticalMargin WRITE setVerticalMargin NOTIFY verticalMarginChanged FINAL)
public:
    explicit ReadingPreferences(AppState& state, QObject* parent = nullptr);

    int fontSize() const { return m_fontSize; }
    double lineSpacing() const { return m_lineSpacing; }
    int horizontalMargin() const { return m_horizontalMargin; }
    int verticalMargin() const { return m_verticalMargin; }

    // The setters store any value; the limits apply when the next run loads it.
    void setFontSize(int value);
    void setLineSpacing(double value);
    void setHorizontalMargin(int value);
    void setVerticalMargin(int value);

    void save();

Q_SIGNALS:
    void fontSizeChanged();
    void lineSpacingChanged();
    void horizontalMarginChanged();
    void verticalMarginChanged();

private:
    // The group "reading" as save() writes it.
    QVariantMap storedForm() const;

    AppState& m_state;
    int m_fontSize = 16;
    double m_lineSpacing = 1.0;
    int m_horizontalMargin = 32;
    int m_verticalMargin = 8;
    // The group as this object last read or wrote it: what save() compares with to find its changes.
    QVariantMap m_stored;
};
