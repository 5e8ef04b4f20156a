#include "chem/ResidueBuilder.h"

#include "chem/InternalCoordinates.h"

#include <gemmi/chemcomp.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace HostChem {
namespace {

using HostModel::Vec3;

// Restraint weights: a deviation of one standard uncertainty costs 1.
constexpr double kBondEsd = 0.02;         // Å, ring closures
constexpr double kAheadEsd = 0.05;        // Å, 1-3 distances of ring closures still ahead
constexpr double kMinimumAngleEsd = 1.0;  // degrees
// Angles at an atom with two placed neighbours pin a branch down; weighted above contacts so
// that a crowded site picks among the branch's positions rather than bending it.
constexpr double kAngleWeight = 4.0;
constexpr double kConstantTorsionEsd = 5;  // degrees; the library gives 0 for ring constants
constexpr double kMinimumTorsionEsd = 5;   // degrees
constexpr double kPlaneEsd = 0.02;         // Å
constexpr double kWrongHandedness = 1000;
// The preferred minimum of a torsion with several wins over the others by this much at most
// (0.02 per esd squared: 180 degrees away costs under 3), so a contact decides between them.
constexpr double kPreferenceWeight = 0.02;
// Contacts between atoms more than three bonds apart: closer than this costs.
constexpr double kContactDistance = 3.1;       // Å
constexpr double kContactEsd = 0.25;           // Å
constexpr double kReportContactsWithin = 4.0;  // Å

struct BondIndex {
    int a, b;
    double length;
};
struct AngleIndex {
    int a, centre, c;
    double value, esd;
};
struct TorsionIndex {
    int atoms[4];
    double value, esd;
    int period;
    double preferred;  // the minimum the builder tries first
};
struct ChiralityIndex {
    int centre, a1, a2, a3;
    int sign;  // +1, -1
};

double Square(double x) { return x * x; }

// The distance of angle to the nearest minimum of a torsion restraint.
double TorsionDeviation(const TorsionIndex& t, double angle) {
    if (t.period <= 1) return AngleDifference(angle, t.value);
    double best = 180;
    for (int k = 0; k < t.period; ++k) best = std::min(best, AngleDifference(angle, t.value + k * 360.0 / t.period));
    return best;
}

}  // namespace

// The monomer's heavy atoms and restraints as indices, made once per builder.
struct ResidueBuilderTopology {
    std::vector<std::string> names;
    std::map<std::string, int> index;
    std::vector<std::vector<int>> neighbours;
    std::vector<std::vector<int>> bondsApart;  // shortest path in bonds; large when unconnected
    std::vector<BondIndex> bonds;
    std::vector<AngleIndex> angles;
    std::vector<TorsionIndex> torsions;
    std::vector<ChiralityIndex> chiralities;
    std::vector<std::vector<int>> planes;
};

namespace {

ResidueBuilderTopology MakeTopology(const gemmi::ChemComp& monomer, ResidueBuilder::TorsionPreference preference) {
    ResidueBuilderTopology t;
    for (const gemmi::ChemComp::Atom& atom : monomer.atoms) {
        if (atom.is_hydrogen()) continue;
        t.index[atom.id] = static_cast<int>(t.names.size());
        t.names.push_back(atom.id);
    }
    const int n = static_cast<int>(t.names.size());
    auto find = [&](const std::string& name) {
        const auto it = t.index.find(name);
        return it == t.index.end() ? -1 : it->second;
    };
    t.neighbours.assign(n, {});
    for (const gemmi::Restraints::Bond& bond : monomer.rt.bonds) {
        const int a = find(bond.id1.atom), b = find(bond.id2.atom);
        if (a < 0 || b < 0) continue;
        t.bonds.push_back({a, b, bond.value});
        t.neighbours[a].push_back(b);
        t.neighbours[b].push_back(a);
    }
    const int far = std::numeric_limits<int>::max() / 2;
    t.bondsApart.assign(n, std::vector<int>(n, far));
    for (int start = 0; start < n; ++start) {
        std::vector<int> queue{start};
        t.bondsApart[start][start] = 0;
        for (std::size_t q = 0; q < queue.size(); ++q) {
            const int at = queue[q];
            for (int next : t.neighbours[at]) {
                if (t.bondsApart[start][next] != far) continue;
                t.bondsApart[start][next] = t.bondsApart[start][at] + 1;
                queue.push_back(next);
            }
        }
    }
    for (const gemmi::Restraints::Angle& angle : monomer.rt.angles) {
        const int a = find(angle.id1.atom), b = find(angle.id2.atom), c = find(angle.id3.atom);
        if (a >= 0 && b >= 0 && c >= 0)
            t.angles.push_back({a, b, c, angle.value, std::max(angle.esd, kMinimumAngleEsd)});
    }
    for (const gemmi::Restraints::Torsion& torsion : monomer.rt.torsions) {
        TorsionIndex ti{
            {find(torsion.id1.atom), find(torsion.id2.atom), find(torsion.id3.atom), find(torsion.id4.atom)},
            torsion.value,
            torsion.period == 0 ? kConstantTorsionEsd : std::max(torsion.esd, kMinimumTorsionEsd),
            torsion.period,
            torsion.value};
        if (std::any_of(std::begin(ti.atoms), std::end(ti.atoms), [](int i) { return i < 0; })) continue;
        // Rotamer statistics of proteins: chi1 mostly gauche- (-60), the later sp3 chi angles
        // mostly trans; planar and ring torsions keep the library's value.
        if (preference == ResidueBuilder::TorsionPreference::CommonRotamers && ti.period == 3 &&
            torsion.label.rfind("chi", 0) == 0) {
            ti.preferred = torsion.label == "chi1" ? -60.0 : 180.0;
        }
        t.torsions.push_back(ti);
    }
    for (const gemmi::Restraints::Chirality& chirality : monomer.rt.chirs) {
        if (chirality.sign == gemmi::ChiralityType::Both) continue;
        ChiralityIndex ci{find(chirality.id_ctr.atom), find(chirality.id1.atom), find(chirality.id2.atom),
                          find(chirality.id3.atom), chirality.sign == gemmi::ChiralityType::Positive ? 1 : -1};
        if (ci.centre >= 0 && ci.a1 >= 0 && ci.a2 >= 0 && ci.a3 >= 0) t.chiralities.push_back(ci);
    }
    for (const gemmi::Restraints::Plane& plane : monomer.rt.planes) {
        std::vector<int> members;
        for (const gemmi::Restraints::AtomId& id : plane.ids)
            if (const int i = find(id.atom); i >= 0) members.push_back(i);
        if (members.size() >= 4) t.planes.push_back(std::move(members));
    }
    return t;
}

// What measures the quality of one position of the atom being placed, from the atoms placed.
class PlacementScore {
public:
    PlacementScore(const ResidueBuilderTopology& t, int atom, int from, const std::vector<char>& placed,
                   const std::vector<Vec3>& positions, const std::vector<Vec3>& environment, double reach)
        : atom_(atom), positions_(positions) {
        auto isPlaced = [&](int i) { return i == atom || placed[i]; };
        for (const BondIndex& b : t.bonds) {
            if ((b.a == atom && placed[b.b] && b.b != from) || (b.b == atom && placed[b.a] && b.a != from))
                bonds_.push_back(b);
        }
        for (const AngleIndex& a : t.angles) {
            if ((a.a == atom || a.centre == atom || a.c == atom) && isPlaced(a.a) && isPlaced(a.centre) &&
                isPlaced(a.c))
                angles_.push_back(a);
        }
        for (const TorsionIndex& tor : t.torsions) {
            const bool involves = std::find(std::begin(tor.atoms), std::end(tor.atoms), atom) != std::end(tor.atoms);
            if (involves && std::all_of(std::begin(tor.atoms), std::end(tor.atoms), isPlaced)) torsions_.push_back(tor);
        }
        for (const ChiralityIndex& c : t.chiralities) {
            const bool involves = c.centre == atom || c.a1 == atom || c.a2 == atom || c.a3 == atom;
            if (involves && isPlaced(c.centre) && isPlaced(c.a1) && isPlaced(c.a2) && isPlaced(c.a3))
                chiralities_.push_back(c);
        }
        for (const std::vector<int>& members : t.planes) {
            if (std::find(members.begin(), members.end(), atom) == members.end()) continue;
            std::vector<Vec3> points;
            for (int m : members)
                if (m != atom && placed[m]) points.push_back(positions[m]);
            if (points.size() < 3) continue;
            const Plane plane = FitPlane(points);
            if (plane.valid) planes_.push_back(plane);
        }
        // Ring closures ahead: a placed atom two bonds away through an atom still to place
        // must end up at the 1-3 distance of those two bonds and their angle.
        auto bondLength = [&](int i, int j) {
            for (const BondIndex& b : t.bonds)
                if ((b.a == i && b.b == j) || (b.a == j && b.b == i)) return b.length;
            return 0.0;
        };
        for (const AngleIndex& a : t.angles) {
            if (placed[a.centre] || a.centre == atom) continue;
            const int other = a.a == atom ? a.c : a.c == atom ? a.a : -1;
            if (other < 0 || !placed[other]) continue;
            const double b1 = bondLength(atom, a.centre), b2 = bondLength(other, a.centre);
            const double cosine = std::cos(a.value * 3.14159265358979323846 / 180.0);
            ahead_.push_back({other, atom, std::sqrt(b1 * b1 + b2 * b2 - 2 * b1 * b2 * cosine)});
        }
        const Vec3& centre = positions[from];
        for (std::size_t i = 0; i < t.names.size(); ++i) {
            if (placed[i] && t.bondsApart[atom][i] > 3 && Distance(positions[i], centre) < reach)
                contacts_.push_back(positions[i]);
        }
        for (const Vec3& p : environment)
            if (Distance(p, centre) < reach) contacts_.push_back(p);
    }

    double operator()(const Vec3& x) const {
        auto at = [&](int i) -> const Vec3& { return i == atom_ ? x : positions_[i]; };
        double score = 0;
        for (const BondIndex& b : bonds_) score += Square((Distance(at(b.a), at(b.b)) - b.length) / kBondEsd);
        for (const BondIndex& b : ahead_) score += Square((Distance(x, positions_[b.a]) - b.length) / kAheadEsd);
        for (const AngleIndex& a : angles_)
            score += kAngleWeight * Square((BondAngle(at(a.a), at(a.centre), at(a.c)) - a.value) / a.esd);
        for (const TorsionIndex& tor : torsions_) {
            const double angle = Torsion(at(tor.atoms[0]), at(tor.atoms[1]), at(tor.atoms[2]), at(tor.atoms[3]));
            score += Square(TorsionDeviation(tor, angle) / tor.esd);
            if (tor.period > 1) score += kPreferenceWeight * Square(AngleDifference(angle, tor.preferred) / tor.esd);
        }
        for (const ChiralityIndex& c : chiralities_) {
            const double volume = ChiralVolume(at(c.centre), at(c.a1), at(c.a2), at(c.a3));
            if (volume * c.sign < 0) score += kWrongHandedness;
        }
        for (const Plane& plane : planes_) score += Square(plane.DistanceTo(x) / kPlaneEsd);
        for (const Vec3& p : contacts_) {
            const double d = Distance(p, x);
            if (d < kContactDistance) score += Square((kContactDistance - d) / kContactEsd);
        }
        return score;
    }

private:
    int atom_;
    const std::vector<Vec3>& positions_;
    std::vector<BondIndex> bonds_;
    std::vector<BondIndex> ahead_;  // a: the placed atom, length: the 1-3 distance
    std::vector<AngleIndex> angles_;
    std::vector<TorsionIndex> torsions_;
    std::vector<ChiralityIndex> chiralities_;
    std::vector<Plane> planes_;
    std::vector<Vec3> contacts_;
};

// Three placed atoms to build an atom from: it bonds to from, from to angleAtom, and frame
// fixes the torsion's zero. Chosen for the most restraints on the atom.
struct Anchors {
    int from = -1, angleAtom = -1, frame = -1;
    double bond = 0, angle = 0;
    int restraints = 0;
};

bool Collinear(const Vec3& a, const Vec3& b, const Vec3& c) {
    const double angle = BondAngle(a, b, c);
    return angle < 10 || angle > 170;
}

Anchors FindAnchors(const ResidueBuilderTopology& t, int atom, const std::vector<char>& placed,
                    const std::vector<Vec3>& positions) {
    Anchors best;
    for (int from : t.neighbours[atom]) {
        if (!placed[from]) continue;
        const auto bond = std::find_if(t.bonds.begin(), t.bonds.end(), [&](const BondIndex& b) {
            return (b.a == atom && b.b == from) || (b.b == atom && b.a == from);
        });
        for (const AngleIndex& angle : t.angles) {
            if (angle.centre != from) continue;
            int other = angle.a == atom ? angle.c : angle.c == atom ? angle.a : -1;
            if (other < 0 || !placed[other]) continue;
            // The frame: a placed neighbour of the angle atom, or another of from's.
            int frame = -1;
            for (int candidate : t.neighbours[other])
                if (candidate != from && placed[candidate] &&
                    !Collinear(positions[candidate], positions[other], positions[from])) {
                    frame = candidate;
                    break;
                }
            if (frame < 0) {
                for (int candidate : t.neighbours[from])
                    if (candidate != other && candidate != atom && placed[candidate] &&
                        !Collinear(positions[candidate], positions[from], positions[other])) {
                        frame = candidate;
                        break;
                    }
            }
            if (frame < 0) continue;
            int restraints = 0;
            for (int n : t.neighbours[from]) restraints += n != atom && placed[n];
            for (int n : t.neighbours[atom]) restraints += placed[n];
            if (restraints > best.restraints) {
                best = {from, other, frame, bond->length, angle.value, restraints};
            }
        }
    }
    return best;
}

}  // namespace

ResidueBuilder::ResidueBuilder(const gemmi::ChemComp& monomer, TorsionPreference preference)
    : monomerName_(monomer.name),
      topology_(std::make_shared<const ResidueBuilderTopology>(MakeTopology(monomer, preference))) {}

BuildOutcome ResidueBuilder::Build(const std::vector<NamedPosition>& present, const std::vector<std::string>& missing,
                                   const std::vector<Vec3>& environment) const {
    const ResidueBuilderTopology& t = *topology_;
    BuildOutcome outcome;
    const std::size_t n = t.names.size();
    std::vector<char> placed(n, 0);
    std::vector<Vec3> positions(n);
    for (const NamedPosition& atom : present) {
        const auto it = t.index.find(atom.name);
        if (it == t.index.end()) continue;
        placed[it->second] = 1;
        positions[it->second] = atom.position;
    }
    std::vector<int> toPlace;
    for (const std::string& name : missing) {
        const auto it = t.index.find(name);
        if (it == t.index.end()) {
            outcome.failure = "the monomer library's " + monomerName_ + " has no heavy atom " + name;
            return outcome;
        }
        if (!placed[it->second] && std::find(toPlace.begin(), toPlace.end(), it->second) == toPlace.end())
            toPlace.push_back(it->second);
    }
    std::sort(toPlace.begin(), toPlace.end());  // library order breaks ties

    std::vector<int> order;
    while (!toPlace.empty()) {
        std::size_t chosen = toPlace.size();
        Anchors anchors;
        for (std::size_t i = 0; i < toPlace.size(); ++i) {
            const Anchors candidate = FindAnchors(t, toPlace[i], placed, positions);
            if (candidate.from >= 0 && candidate.restraints > anchors.restraints) {
                anchors = candidate;
                chosen = i;
            }
        }
        if (chosen == toPlace.size()) {
            outcome.failure = "no three placed atoms to build " + t.names[toPlace.front()] + " from";
            return outcome;
        }
        const int atom = toPlace[chosen];
        const Vec3& a = positions[anchors.frame];
        const Vec3& b = positions[anchors.angleAtom];
        const Vec3& c = positions[anchors.from];
        const PlacementScore score(t, atom, anchors.from, placed, positions, environment,
                                   anchors.bond + kContactDistance + 0.5);
        auto at = [&](double torsion) { return PlaceFromInternal(a, b, c, anchors.bond, anchors.angle, torsion); };
        // A coarse sweep of the free torsion, then two finer ones around the best.
        double bestTorsion = 0, bestScore = std::numeric_limits<double>::infinity();
        for (int step = 0; step < 72; ++step) {
            const double torsion = -180.0 + 5.0 * step;
            const double s = score(at(torsion));
            if (s < bestScore) bestScore = s, bestTorsion = torsion;
        }
        for (double width : {5.0, 1.0}) {
            const double centre = bestTorsion;
            for (int step = -5; step <= 5; ++step) {
                const double torsion = centre + width * step / 5.0;
                const double s = score(at(torsion));
                if (s < bestScore) bestScore = s, bestTorsion = torsion;
            }
        }
        positions[atom] = at(bestTorsion);
        placed[atom] = 1;
        order.push_back(atom);
        toPlace.erase(toPlace.begin() + static_cast<long>(chosen));
    }

    // Handedness once everything stands: a centre whose last substituent came before the
    // others could still be wrong.
    for (const ChiralityIndex& c : t.chiralities) {
        const bool built = std::any_of(order.begin(), order.end(),
                                       [&](int i) { return i == c.centre || i == c.a1 || i == c.a2 || i == c.a3; });
        if (!built || !placed[c.centre] || !placed[c.a1] || !placed[c.a2] || !placed[c.a3]) continue;
        if (ChiralVolume(positions[c.centre], positions[c.a1], positions[c.a2], positions[c.a3]) * c.sign < 0) {
            outcome.failure = "cannot build " + t.names[c.centre] + " with the library's handedness";
            return outcome;
        }
    }

    for (int atom : order) {
        BuiltAtom out{t.names[atom], positions[atom]};
        double closest = kReportContactsWithin;
        for (std::size_t i = 0; i < n; ++i) {
            if (!placed[i] || t.bondsApart[atom][i] <= 3) continue;
            const double d = Distance(positions[i], positions[atom]);
            if (d < closest) closest = d, out.closestEnvironmentAtom = -1;
        }
        for (std::size_t i = 0; i < environment.size(); ++i) {
            const double d = Distance(environment[i], positions[atom]);
            if (d < closest) closest = d, out.closestEnvironmentAtom = static_cast<long>(i);
        }
        out.closestDistance = out.closestEnvironmentAtom == -2 ? 0 : closest;
        outcome.built.push_back(std::move(out));
    }
    outcome.complete = true;
    return outcome;
}

}  // namespace HostChem
