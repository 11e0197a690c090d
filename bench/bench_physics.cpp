// The rigid-body physics beside ODE (quick-step solver with its default 20
// iterations, sweep-and-prune space) on the same scenes: spheres and boxes
// dropped into a box of floor and four walls, and a tall column at one x and
// y, the worst case of a sweep along x (every volume overlaps every other
// along that axis). Both start from the same bodies and step the same number
// of steps of the same length, with the same gravity, damping, friction,
// restitution and rest rule (speeds below 0.1 and sqrt(0.1) for 2 s).
//
// Each case runs one drop in both engines and reports, as counters: the
// steps run; the time per step of each, averaged over the whole run (drop,
// settling and rest), and their ratio (ours / ODE: below 1 means we are
// faster); the worst penetration of each, measured the same way for both, by
// ODE's own contact depths on the placed shapes, every tenth step; the first
// step at which every body rests (0 when that did not happen within the run)
// and the bodies at rest at the end. Read the ratios, not the milliseconds.
// The run of 100 bodies is long enough for the pile to come to rest in both
// engines (ODE after 5,313 steps, ours after about 3,700); 1,000 bodies
// settle for 6 s (ODE rests after about 5,500 steps, too long for this
// benchmark; most of ours are at rest by the end), 5,000 only fall and
// land, and the column collapses.
//
// Measured on an 8-core machine (optimised build), ours / ODE: 100 bodies
// 0.34 (penetration 0.002 against 0.057; at rest after 3,732 steps against
// 5,313), 1,000 bodies 0.92 (0.014 against 0.054; 730 of ours and 11 of
// ODE's at rest at the end), 5,000 bodies 0.96 (0.011 against 0.053), the
// column 1.06 (0.031 against 0.040). So the goal of at most ODE's time at
// no deeper penetration holds for the piles; the column takes 6% longer.
// (When a body lying flat touched at one corner, frozen bodies gave way to
// those resting on them and corrections kept the speeds into supports that
// they undid, our piles never came to rest: ODE's 100 after 5,313 steps,
// ours not within 40,000; ours / ODE was 0.81, 0.91, 1.07 and 1.15, with
// penetrations of 0.027, 0.049, 0.036 and 0.147.)
#include <benchmark/benchmark.h>

#include <ode/ode.h>

#include <algorithm>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <vector>

#include "model/MDL_CollisionVolume.h"
#include "model/MDL_Physics.h"
#include "model/MDL_RigidBody.h"
#include "model/MDL_Scene.h"

namespace {

const double STEP = 0.002;
const double GRAVITY = -9.81;
const double HALF = 0.25;       // sphere radius, half edge of a box
const double SPACING = 0.6;     // of the starting lattice
const double RESTITUTION = 0.6; // the mean of two elasticities of 0.6
const double FRICTION = 0.8;
const double DAMPING = 0.2; // per second
const double SPHERE_INERTIA = 0.4 * HALF * HALF;
const double BOX_INERTIA = (4 * HALF * HALF + 4 * HALF * HALF) / 12;

// One body of a scene: its shape and starting place.
struct Start {
    bool m_bSphere;
    MTH_Vector3D m_oPosition;
    double m_fAngle; // about (1, 1, 0)
};

struct Pile {
    std::vector<Start> m_aoBodies;
    double m_fHalfWidth; // of the box's floor
};

// n bodies on a lattice, about eight layers deep, alternately spheres and
// boxes, each a little off the lattice and turned.
Pile lattice(int n)
{
    Pile pile;
    int side = std::max(2, static_cast<int>(std::ceil(std::sqrt(n / 8.0))));
    pile.m_fHalfWidth = side * SPACING / 2;
    for (int i = 0; i < n; i++) {
        int x = i % side, y = (i / side) % side, z = i / (side * side);
        double jitter = 0.05 * std::sin(i * 12.9898);
        pile.m_aoBodies.push_back(
            Start{i % 2 == 0,
                  MTH_Vector3D(-pile.m_fHalfWidth + SPACING * (x + 0.5) + jitter,
                               -pile.m_fHalfWidth + SPACING * (y + 0.5) - jitter, HALF + 0.05 + SPACING * z),
                  0.3 * i});
    }
    return pile;
}

// n bodies in one column over the box's centre.
Pile column(int n)
{
    Pile pile;
    pile.m_fHalfWidth = 4;
    for (int i = 0; i < n; i++)
        pile.m_aoBodies.push_back(
            Start{i % 2 == 0, MTH_Vector3D(0.01 * std::sin(i * 1.7), 0, HALF + 0.05 + SPACING * i), 0.2 * i});
    return pile;
}

struct Result {
    double m_fSecondsPerStep = 0;
    double m_fWorstPenetration = 0;
    int m_iRestStep = 0;
    int m_iResting = 0; // at the end
};

// --- measuring penetration with ODE's contacts ---

struct Depth {
    double m_fWorst = 0;
};

void deepest(void *data, dGeomID a, dGeomID b)
{
    dContactGeom contacts[8];
    int n = dCollide(a, b, 8, contacts, sizeof(dContactGeom));
    Depth *depth = static_cast<Depth *>(data);
    for (int i = 0; i < n; i++)
        depth->m_fWorst = std::max(depth->m_fWorst, static_cast<double>(contacts[i].depth));
}

// A space of the pile's shapes and the box's planes, placed from outside.
struct Shapes {
    dSpaceID m_oSpace;
    std::vector<dGeomID> m_aoGeoms;

    explicit Shapes(const Pile &pile)
    {
        m_oSpace = dSweepAndPruneSpaceCreate(nullptr, dSAP_AXES_XYZ);
        addPlanes(m_oSpace, pile.m_fHalfWidth);
        for (const Start &s : pile.m_aoBodies)
            m_aoGeoms.push_back(s.m_bSphere ? dCreateSphere(m_oSpace, HALF)
                                            : dCreateBox(m_oSpace, 2 * HALF, 2 * HALF, 2 * HALF));
    }
    ~Shapes() { dSpaceDestroy(m_oSpace); }
    static void addPlanes(dSpaceID space, double w)
    {
        dCreatePlane(space, 0, 0, 1, 0);
        dCreatePlane(space, 1, 0, 0, -w);
        dCreatePlane(space, -1, 0, 0, -w);
        dCreatePlane(space, 0, 1, 0, -w);
        dCreatePlane(space, 0, -1, 0, -w);
    }
    double worst()
    {
        Depth depth;
        dSpaceCollide(m_oSpace, &depth, deepest);
        return depth.m_fWorst;
    }
};

// --- ours ---

Result runOurs(const Pile &pile, int steps)
{
    MDL_Scene scene("bench");
    scene.setPhysics(&MDL_RigidBodyPhysics::instance());
    scene.setIntegrationStep(STEP);
    scene.setGravity(MTH_Vector3D(0, 0, GRAVITY));
    scene.setFriction(FRICTION);
    scene.setElasticity(RESTITUTION);
    const double w = pile.m_fHalfWidth;
    scene.setBounds(-w, w, -w, w, 0, DBL_MAX);
    std::vector<MDL_RigidBody *> bodies;
    for (const Start &s : pile.m_aoBodies) {
        MDL_RigidBody *body = new MDL_RigidBody();
        scene.addObject(body);
        MTH_Frame &frame = body->editGlobalFrame();
        frame.m_oPosition = s.m_oPosition;
        frame.m_oBasis.setIdentity();
        frame.m_oBasis.rotate(MTH_Vector3D(1, 1, 0), s.m_fAngle);
        frame.invalidateInverse();
        double inertia = s.m_bSphere ? SPHERE_INERTIA : BOX_INERTIA;
        body->setInertia(MTH_Vector3D(inertia, inertia, inertia));
        body->setElasticity(RESTITUTION);
        body->setFriction(FRICTION);
        body->setDamping(DAMPING);
        body->setAngularDamping(DAMPING);
        MDL_CollisionVolume *volume =
            new MDL_CollisionVolume(s.m_bSphere ? MDL_CollisionVolume::SHAPE_SPHERE : MDL_CollisionVolume::SHAPE_BOX);
        scene.addObject(volume);
        MTH_Frame &v = volume->editGlobalFrame();
        v = body->getGlobalFrame();
        v.m_oBasis.scale(HALF);
        v.invalidateInverse();
        body->addChild(volume);
        bodies.push_back(body);
    }
    Shapes shapes(pile);
    Result result;
    double seconds = 0;
    for (int step = 1; step <= steps; step++) {
        auto start = std::chrono::steady_clock::now();
        // No script: every contact is answered.
        scene.step(STEP, nullptr);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int still = 0;
        for (MDL_RigidBody *body : bodies)
            still += body->getStill() ? 1 : 0;
        if (still == static_cast<int>(bodies.size()) && result.m_iRestStep == 0)
            result.m_iRestStep = step;
        result.m_iResting = still;
        if (step % 10 == 0) {
            for (size_t i = 0; i < bodies.size(); i++) {
                const MTH_Frame &f = bodies[i]->getGlobalFrame();
                dGeomSetPosition(shapes.m_aoGeoms[i], f.m_oPosition.m_fX, f.m_oPosition.m_fY, f.m_oPosition.m_fZ);
                // ODE's matrices take the axes as columns.
                dMatrix3 r;
                for (int row = 0; row < 3; row++)
                    for (int col = 0; col < 3; col++)
                        r[row * 4 + col] = f.m_oBasis.get(col, row);
                r[3] = r[7] = r[11] = 0;
                dGeomSetRotation(shapes.m_aoGeoms[i], r);
            }
            result.m_fWorstPenetration = std::max(result.m_fWorstPenetration, shapes.worst());
        }
    }
    result.m_fSecondsPerStep = seconds / steps;
    return result;
}

// --- ODE ---

struct OdeWorld {
    dWorldID m_oWorld;
    dSpaceID m_oSpace;
    dJointGroupID m_oContacts;
};

void nearCallback(void *data, dGeomID a, dGeomID b)
{
    OdeWorld *w = static_cast<OdeWorld *>(data);
    dBodyID ba = dGeomGetBody(a), bb = dGeomGetBody(b);
    if ((ba == nullptr || !dBodyIsEnabled(ba)) && (bb == nullptr || !dBodyIsEnabled(bb)))
        return;
    dContact contacts[4];
    int n = dCollide(a, b, 4, &contacts[0].geom, sizeof(dContact));
    for (int i = 0; i < n; i++) {
        dSurfaceParameters &s = contacts[i].surface;
        s.mode = dContactBounce | dContactApprox1;
        s.mu = FRICTION;
        s.bounce = RESTITUTION;
        s.bounce_vel = 0.1;
        dJointID joint = dJointCreateContact(w->m_oWorld, w->m_oContacts, &contacts[i]);
        dJointAttach(joint, ba, bb);
    }
}

Result runOde(const Pile &pile, int steps)
{
    // The quick-step solver orders its constraints at random: the same
    // seed for every run.
    dRandSetSeed(0);
    OdeWorld w;
    w.m_oWorld = dWorldCreate();
    w.m_oSpace = dSweepAndPruneSpaceCreate(nullptr, dSAP_AXES_XYZ);
    w.m_oContacts = dJointGroupCreate(0);
    dWorldSetGravity(w.m_oWorld, 0, 0, GRAVITY);
    dWorldSetLinearDamping(w.m_oWorld, DAMPING * STEP);
    dWorldSetAngularDamping(w.m_oWorld, DAMPING * STEP);
    dWorldSetContactSurfaceLayer(w.m_oWorld, 0.001);
    dWorldSetQuickStepNumIterations(w.m_oWorld, 20);
    // Rest after 2 s below the same thresholds (speeds 0.1 and sqrt(0.1)).
    dWorldSetAutoDisableFlag(w.m_oWorld, 1);
    dWorldSetAutoDisableLinearThreshold(w.m_oWorld, 0.1);
    dWorldSetAutoDisableAngularThreshold(w.m_oWorld, std::sqrt(0.1));
    dWorldSetAutoDisableTime(w.m_oWorld, 2.0);
    dWorldSetAutoDisableSteps(w.m_oWorld, 0);
    Shapes::addPlanes(w.m_oSpace, pile.m_fHalfWidth);
    std::vector<dBodyID> bodies;
    std::vector<dGeomID> geoms;
    for (const Start &s : pile.m_aoBodies) {
        dBodyID body = dBodyCreate(w.m_oWorld);
        dMass mass;
        double inertia = s.m_bSphere ? SPHERE_INERTIA : BOX_INERTIA;
        dMassSetParameters(&mass, 1, 0, 0, 0, inertia, inertia, inertia, 0, 0, 0);
        dBodySetMass(body, &mass);
        dBodySetPosition(body, s.m_oPosition.m_fX, s.m_oPosition.m_fY, s.m_oPosition.m_fZ);
        dMatrix3 r;
        dRFromAxisAndAngle(r, 1, 1, 0, s.m_fAngle);
        dBodySetRotation(body, r);
        dGeomID geom =
            s.m_bSphere ? dCreateSphere(w.m_oSpace, HALF) : dCreateBox(w.m_oSpace, 2 * HALF, 2 * HALF, 2 * HALF);
        dGeomSetBody(geom, body);
        bodies.push_back(body);
        geoms.push_back(geom);
    }
    Shapes shapes(pile);
    Result result;
    double seconds = 0;
    for (int step = 1; step <= steps; step++) {
        auto start = std::chrono::steady_clock::now();
        dSpaceCollide(w.m_oSpace, &w, nearCallback);
        dWorldQuickStep(w.m_oWorld, STEP);
        dJointGroupEmpty(w.m_oContacts);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        int still = 0;
        for (dBodyID body : bodies)
            still += dBodyIsEnabled(body) ? 0 : 1;
        if (still == static_cast<int>(bodies.size()) && result.m_iRestStep == 0)
            result.m_iRestStep = step;
        result.m_iResting = still;
        if (step % 10 == 0) {
            for (size_t i = 0; i < bodies.size(); i++) {
                const dReal *p = dBodyGetPosition(bodies[i]);
                dGeomSetPosition(shapes.m_aoGeoms[i], p[0], p[1], p[2]);
                dGeomSetRotation(shapes.m_aoGeoms[i], dBodyGetRotation(bodies[i]));
            }
            result.m_fWorstPenetration = std::max(result.m_fWorstPenetration, shapes.worst());
        }
    }
    result.m_fSecondsPerStep = seconds / steps;
    dJointGroupDestroy(w.m_oContacts);
    dSpaceDestroy(w.m_oSpace);
    dWorldDestroy(w.m_oWorld);
    return result;
}

void report(benchmark::State &state, const Pile &pile, int steps)
{
    dInitODE2(0);
    Result ours, ode;
    for (auto _ : state) {
        ours = runOurs(pile, steps);
        ode = runOde(pile, steps);
        state.SetIterationTime(ours.m_fSecondsPerStep * steps);
    }
    dCloseODE();
    state.counters["ours_ms_per_step"] = ours.m_fSecondsPerStep * 1e3;
    state.counters["ode_ms_per_step"] = ode.m_fSecondsPerStep * 1e3;
    state.counters["time_ratio"] = ours.m_fSecondsPerStep / ode.m_fSecondsPerStep;
    state.counters["ours_worst_penetration"] = ours.m_fWorstPenetration;
    state.counters["ode_worst_penetration"] = ode.m_fWorstPenetration;
    state.counters["ours_rest_step"] = ours.m_iRestStep;
    state.counters["ode_rest_step"] = ode.m_iRestStep;
    state.counters["ours_resting_at_end"] = ours.m_iResting;
    state.counters["ode_resting_at_end"] = ode.m_iResting;
    state.counters["steps"] = steps;
}

void BM_DropIntoABox(benchmark::State &state)
{
    int n = static_cast<int>(state.range(0));
    report(state, lattice(n), static_cast<int>(state.range(1)));
}
BENCHMARK(BM_DropIntoABox)
    ->Args({100, 6000})
    ->Args({1000, 3000})
    ->Args({5000, 200})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_TallColumn(benchmark::State &state)
{
    report(state, column(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)));
}
BENCHMARK(BM_TallColumn)->Args({200, 3000})->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
