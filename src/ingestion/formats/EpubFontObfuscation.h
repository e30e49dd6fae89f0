#pragma once

// The fonts a package lists in META-INF/encryption.xml, and the undoing of the two font
// obfuscation algorithms publishers use: the IDPF one (the first 1040 bytes XORed with the SHA-1
// of the package's unique identifier, white space removed) and the older Adobe one (the first 1024
// bytes XORed with the 16 bytes of the identifier's UUID). Any other method is real encryption,
// which this reader cannot undo.
//
// Built and used by one thread; a built object only answers, so several threads may read it.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

class EpubFontObfuscation {
public:
    enum class Method { None, Idpf, Adobe, Unsupported };

    EpubFontObfuscation() = default;
    // encryptionXml: the bytes of META-INF/encryption.xml, empty when the book has none.
    // identifiers: the package's dc:identifier texts, its unique identifier first.
    EpubFontObfuscation(const QByteArray& encryptionXml, const QStringList& identifiers);

    // How the entry at this cleaned archive path is encrypted.
    Method methodFor(const QString& path) const;
    // The font to register from the bytes stored at path: the bytes themselves when encryption.xml
    // does not list it, the de-obfuscated font when it is obfuscated, and empty (with a warning in
    // the log) when it is encrypted otherwise or its key cannot be made.
    QByteArray clearFont(const QString& path, const QByteArray& stored) const;

private:
    QHash<QString, Method> m_methods; // by cleaned archive path
    QByteArray m_idpfKey;             // empty: no identifier
    QByteArray m_adobeKey;            // empty: no identifier is a UUID
};
