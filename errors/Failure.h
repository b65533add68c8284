#pragma once

#include <QString>
#include <exception>

// The one failure type of the program. Every layer (database, files, word processor, the program's own
// checks) raises it with a number and a description; every trapping procedure catches it and reports it.
// Database failures carry the large negative engine codes; file and run-time failures the classic
// run-time numbers listed in errors/ErrorNumbers.h.
class Failure : public std::exception {
public:
    Failure(qint32 number, QString description)
        : m_number(number), m_description(std::move(description)), m_what(m_description.toUtf8()) {}

    qint32 number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    qint32 m_number;
    QString m_description;
    QByteArray m_what;
};
