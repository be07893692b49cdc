// planets_orb: writes "Planets.orb", the mean orbital elements of the Earth and of Mercury … Neptune
// that the horoscope reads.
//
// Source of the numbers: Jean Meeus, Astronomical Algorithms, 2nd ed. (Willmann-Bell, 1998),
// chapter 31, table 31.A "Elements of the planetary orbits, referred to the mean equinox of the
// date" (after Bretagnon's VSOP82 fit). Angles in degrees, T in Julian centuries from
// JDE 2451545.0; the Earth's inclination and node are zero in the ecliptic of the date.
//
// File layout: 176 little-endian IEEE doubles in seven blocks, each block listing the eight bodies
// Earth, Mercury, Venus, Mars, Jupiter, Saturn, Uranus, Neptune with their coefficients together:
//   1 mean longitude (4 coefficients, radians)      2 longitude of perihelion (4, radians)
//   3 longitude of the ascending node (4, radians)  4 inclination (4, radians)
//   5 eccentricity (3)                              6 semi-major axis (2, astronomical units)
//   7 one value per body, unused (written as zero)
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <vector>

namespace {

using Polynomial = std::array<double, 4>; // c0 + c1·T + c2·T² + c3·T³

struct MeanElements {
    const char* name;
    Polynomial meanLongitude;   // degrees
    Polynomial perihelion;      // degrees
    Polynomial node;            // degrees
    Polynomial inclination;     // degrees
    Polynomial eccentricity;
    Polynomial semiMajorAxis;   // astronomical units
};

// In the file's order.
const std::array<MeanElements, 8> kBodies = {{
    {"Earth",
        {100.466457, 36000.7698278, 0.00030322, 0.000000020},
        {102.937348, 1.7195366, 0.00045688, -0.000000018},
        {0, 0, 0, 0},
        {0, 0, 0, 0},
        {0.01670863, -0.000042037, -0.0000001267, 0.00000000014},
        {1.000001018, 0, 0, 0}},
    {"Mercury",
        {252.250906, 149474.0722491, 0.00030350, 0.000000018},
        {77.456119, 1.5564776, 0.00029544, 0.000000009},
        {48.330893, 1.1861883, 0.00017542, 0.000000215},
        {7.004986, 0.0018215, -0.00001810, 0.000000056},
        {0.20563175, 0.000020407, -0.0000000283, -0.00000000018},
        {0.387098310, 0, 0, 0}},
    {"Venus",
        {181.979801, 58519.2130302, 0.00031014, 0.000000015},
        {131.563703, 1.4022288, -0.00107618, -0.000005678},
        {76.679920, 0.9011206, 0.00040618, -0.000000093},
        {3.394662, 0.0010037, -0.00000088, -0.000000007},
        {0.00677192, -0.000047765, 0.0000000981, 0.00000000046},
        {0.723329820, 0, 0, 0}},
    {"Mars",
        {355.433000, 19141.6964471, 0.00031052, 0.000000016},
        {336.060234, 1.8410449, 0.00013477, 0.000000536},
        {49.558093, 0.7720959, 0.00001557, 0.000002267},
        {1.849726, -0.0006011, 0.00001276, -0.000000007},
        {0.09340065, 0.000090484, -0.0000000806, -0.00000000025},
        {1.523679342, 0, 0, 0}},
    {"Jupiter",
        {34.351519, 3036.3027748, 0.00022330, 0.000000037},
        {14.331207, 1.6126352, 0.00103042, -0.000004464},
        {100.464407, 1.0209774, 0.00040315, 0.000000404},
        {1.303267, -0.0054965, 0.00000466, -0.000000002},
        {0.04849793, 0.000163225, -0.0000004714, -0.00000000201},
        {5.202603209, 0.0000001913, 0, 0}},
    {"Saturn",
        {50.077444, 1223.5110686, 0.00051908, -0.000000030},
        {93.057237, 1.9637613, 0.00083753, 0.000004928},
        {113.665503, 0.8770880, -0.00012176, -0.000002249},
        {2.488879, -0.0037362, -0.00001519, 0.000000087},
        {0.05554814, -0.000346641, -0.0000006436, 0.00000000340},
        {9.554909192, -0.0000021390, 0.000000004, 0}},
    {"Uranus",
        {314.055005, 429.8640561, 0.00030390, 0.000000026},
        {173.005291, 1.4863790, 0.00021406, 0.000000434},
        {74.005957, 0.5211278, 0.00133947, 0.000018484},
        {0.773197, 0.0007744, 0.00003749, -0.000000092},
        {0.04638122, -0.000027293, 0.0000000789, 0.00000000024},
        {19.218446062, -0.0000000372, 0.00000000098, 0}},
    {"Neptune",
        {304.348665, 219.8833092, 0.00030882, 0.000000018},
        {48.120276, 1.4262957, 0.00038434, 0.000000020},
        {131.784057, 1.1022039, 0.00025952, -0.000000637},
        {1.769953, -0.0093082, -0.00000708, 0.000000027},
        {0.00945575, 0.000006033, 0, -0.00000000005},
        {30.110386869, -0.0000001663, 0.00000000069, 0}},
}};

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

void appendBlock(std::vector<double>& out, Polynomial MeanElements::*element, int coefficients, double scale)
{
    for (const MeanElements& body : kBodies)
        for (int k = 0; k < coefficients; ++k)
            out.push_back((body.*element)[k] * scale);
}

std::vector<double> fileValues()
{
    std::vector<double> values;
    appendBlock(values, &MeanElements::meanLongitude, 4, kRadiansPerDegree);
    appendBlock(values, &MeanElements::perihelion, 4, kRadiansPerDegree);
    appendBlock(values, &MeanElements::node, 4, kRadiansPerDegree);
    appendBlock(values, &MeanElements::inclination, 4, kRadiansPerDegree);
    appendBlock(values, &MeanElements::eccentricity, 3, 1.0);
    appendBlock(values, &MeanElements::semiMajorAxis, 2, 1.0);
    values.insert(values.end(), kBodies.size(), 0.0);
    return values;
}

// Little-endian whatever the machine's byte order.
void putLittleEndian(std::vector<unsigned char>& bytes, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i)
        bytes.push_back(static_cast<unsigned char>(bits >> (8 * i)));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: planets_orb OUTPUT_FILE\n";
        return 1;
    }
    const std::vector<double> values = fileValues();
    if (values.size() != 176) {
        std::cerr << "planets_orb: " << values.size() << " values instead of 176\n";
        return 1;
    }
    std::vector<unsigned char> bytes;
    for (double value : values)
        putLittleEndian(bytes, value);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "planets_orb: cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
