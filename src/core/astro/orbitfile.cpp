#include "core/astro/orbitfile.h"

#include "core/platform/errors.h"
#include "core/platform/paths.h"

#include <QFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace verola {

const QString kOrbitFileName = QStringLiteral("Planets.orb");

namespace {

class ValueReader {
public:
    ValueReader(const QByteArray& bytes, const QString& path) : m_bytes(bytes), m_path(path) {}

    double next()
    {
        const auto bits = qFromLittleEndian<quint64>(m_bytes.constData() + 8 * m_index);
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value))
            throw EInOutError(QStringLiteral("В файле орбит \"%1\" значение %2 не является числом")
                                  .arg(m_path).arg(m_index + 1));
        ++m_index;
        return value;
    }

    // Fills `coefficients` coefficients of the element of every body: one block of the file.
    void readBlock(TOrbitElements& elements, TOrbitPolynomial TOrbitBody::*element, int coefficients)
    {
        for (TOrbitBody& body : elements)
            for (int k = 0; k < coefficients; ++k)
                (body.*element).c[k] = next();
    }

    void skip(int count) { m_index += count; }

private:
    const QByteArray& m_bytes;
    const QString& m_path;
    int m_index = 0;
};

} // namespace

QString orbitFilePath(const QString& dataDirectory)
{
    return fileInDirectory(dataDirectory, kOrbitFileName);
}

TOrbitElements parseOrbitElements(const QByteArray& bytes, const QString& path)
{
    if (bytes.size() < kOrbitFileSize)
        throw EInOutError(QStringLiteral("Файл орбит \"%1\" слишком короткий: байт %2 вместо %3")
                              .arg(path).arg(bytes.size()).arg(kOrbitFileSize));
    TOrbitElements elements{};
    ValueReader reader(bytes, path);
    reader.readBlock(elements, &TOrbitBody::meanLongitude, 4);
    reader.readBlock(elements, &TOrbitBody::perihelion, 4);
    reader.readBlock(elements, &TOrbitBody::node, 4);
    reader.readBlock(elements, &TOrbitBody::inclination, 4);
    reader.readBlock(elements, &TOrbitBody::eccentricity, 3);
    reader.readBlock(elements, &TOrbitBody::semiMajorAxis, 2);
    reader.skip(kOrbitBodyCount); // the seventh block is not used
    return elements;
}

TOrbitElements readOrbitFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Не удалось открыть файл орбит \"%1\": %2").arg(path, file.errorString()));
    const QByteArray bytes = file.read(kOrbitFileSize);
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Не удалось прочитать файл орбит \"%1\": %2").arg(path, file.errorString()));
    return parseOrbitElements(bytes, path);
}

} // namespace verola
