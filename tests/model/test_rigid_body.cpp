// Rigid bodies on their own: defaults, the exact integration of one step,
// rest and waking, impulses at a point, and the mass of a box around the
// meshes that carry the body's volumes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/MDL_Mesh.h"
#include "model/MDL_MeshData.h"
#include "tests/model/physics_test_support.h"

namespace {

const double GRAVITY = -9.8100004196167;
const double STEP = 0.0020000000949949026;
const double DAMPING = 0.20000000298023224;

TEST(RigidBody, DefaultsAreTheWidenedConstants)
{
    MDL_RigidBody body;
    EXPECT_EQ(OBJECT_RIGID_BODY, body.getType());
    EXPECT_EQ(1.0, body.getMass());
    EXPECT_EQ(MTH_Vector3D(0.01, 0.01, 0.01), body.getInertia());
    EXPECT_EQ(DAMPING, body.getDamping());
    EXPECT_EQ(DAMPING, body.getAngularDamping());
    EXPECT_EQ(0.6000000238418579, body.getElasticity());
    EXPECT_EQ(0.800000011920929, body.getFriction());
    EXPECT_EQ(2.0, body.getStillDelay());
    EXPECT_FALSE(body.getStill());

    body.setMass(0);
    EXPECT_EQ(std::numeric_limits<double>::infinity(), body.getMass());
    body.setInertia(MTH_Vector3D(1, 0, 1));
    EXPECT_EQ(MTH_Vector3D(1, 0, 1), body.getInverseInertia());
    EXPECT_EQ(1, body.getMainAxis());
    body.setInertia(MTH_Vector3D(1, 0.5, 0.25));
    EXPECT_EQ(2, body.getMainAxis());
}

// One step from rest: without damping v = g t and z = z0 + g t^2 / 2
// exactly; with damping the exact solution of dv/dt = g - k v.
TEST(RigidBody, FirstStepOfAFreeFall)
{
    for (double damping : {0.0, DAMPING}) {
        MDL_RigidBody body;
        body.setDamping(damping);
        body.editGlobalPosition() = MTH_Vector3D(0, 0, 10);
        body.integrate(MTH_Vector3D(0, 0, GRAVITY), STEP);
        double v = GRAVITY * STEP, z = 10 + GRAVITY * STEP * STEP / 2;
        if (damping > 0) {
            v = GRAVITY * (1 - std::exp(-damping * STEP)) / damping;
            z = 10 + GRAVITY * (STEP - (1 - std::exp(-damping * STEP)) / damping) / damping;
        }
        EXPECT_NEAR(v, body.getSpeed().m_fZ, 1e-17) << damping;
        EXPECT_NEAR(z, body.getGlobalPosition().m_fZ, 1e-15) << damping;
        EXPECT_EQ(0, body.getSpeed().m_fX);
        if (damping == 0) {
            EXPECT_EQ(GRAVITY * STEP, body.getSpeed().m_fZ);
        }
    }
    // Gravity does not move an immovable body.
    MDL_RigidBody fixed;
    fixed.setMass(0);
    fixed.integrate(MTH_Vector3D(0, 0, GRAVITY), STEP);
    EXPECT_EQ(MTH_Vector3D(), fixed.getGlobalPosition());
    EXPECT_EQ(MTH_Vector3D(), fixed.getSpeed());
}

TEST(RigidBody, ComesToRestAfterItsDelayAndWakes)
{
    MDL_RigidBody body;
    int stillAt = 0;
    for (int i = 1; i <= 2000 && stillAt == 0; i++) {
        body.integrate(MTH_Vector3D(), STEP);
        if (body.getStill())
            stillAt = i;
    }
    // More than 2 s below the thresholds: 1000 steps of the widened 0.002.
    EXPECT_EQ(1000, stillAt);
    body.setSpeed(MTH_Vector3D(0, 0, 0));
    EXPECT_FALSE(body.getStill());
    body.setStill(true);
    body.setForce(MTH_Vector3D(1, 0, 0));
    EXPECT_FALSE(body.getStill());
    body.setStill(true);
    body.setTorque(MTH_Vector3D(1, 0, 0));
    EXPECT_FALSE(body.getStill());
    // A small impulse does not wake it; one above the thresholds does.
    body.setStill(true);
    body.applyImpulse(MTH_Vector3D(), MTH_Vector3D(0.05, 0, 0));
    EXPECT_TRUE(body.getStill());
    body.applyImpulse(MTH_Vector3D(), MTH_Vector3D(0.1, 0, 0));
    EXPECT_FALSE(body.getStill());
    // Without a delay it never freezes.
    MDL_RigidBody awake;
    awake.setStillDelay(0);
    for (int i = 0; i < 3000; i++)
        awake.integrate(MTH_Vector3D(), STEP);
    EXPECT_FALSE(awake.getStill());
}

TEST(RigidBody, PointSpeedAndImpulses)
{
    // At the centre with equal inverse inertias only the speed changes.
    MDL_RigidBody body;
    body.editGlobalPosition() = MTH_Vector3D(1, 2, 3);
    body.setPointSpeed(MTH_Vector3D(), MTH_Vector3D(1, -2, 0.5));
    expectNear(MTH_Vector3D(1, -2, 0.5), body.getSpeed(), 1e-15);
    expectNear(MTH_Vector3D(), body.getAngularSpeed(), 1e-15);

    // Off the centre the point reaches exactly the target velocity.
    MDL_RigidBody other;
    other.editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), 0.5);
    other.setInertia(MTH_Vector3D(0.1, 0.2, 0.3));
    MTH_Vector3D r(0.5, 0.2, -0.1), P;
    other.getGlobalFrame().globalPoint(r, P);
    other.setPointSpeed(r, MTH_Vector3D(0, 1, 0));
    expectNear(MTH_Vector3D(0, 1, 0), other.getPointVelocity(P), 1e-12);

    // An immovable body only turns.
    MDL_RigidBody fixed;
    fixed.setMass(0);
    fixed.setPointSpeed(MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 2, 0));
    EXPECT_EQ(MTH_Vector3D(), fixed.getSpeed());
    expectNear(MTH_Vector3D(0, 0, 2), fixed.getAngularSpeed(), 1e-12);

    // An impulse off the centre turns the body about the lever.
    MDL_RigidBody hit;
    hit.applyImpulse(MTH_Vector3D(1, 0, 0), MTH_Vector3D(0, 1, 0));
    expectNear(MTH_Vector3D(0, 1, 0), hit.getSpeed());
    expectNear(MTH_Vector3D(0, 0, 100), hit.getAngularSpeed(), 1e-9);
}

// The mass comes from the vertices of the meshes that carry collision
// volumes; a volume under anything else contributes nothing (also one whose
// parent only claims the mesh type code).
TEST(RigidBody, MassAndInertiaOfTheCarryingMeshes)
{
    PhysicsWorld w;
    MDL_RigidBody *bare = w.body(MDL_CollisionVolume::SHAPE_BOX, MTH_Vector3D(5, 0, 0), MTH_Vector3D(1, 1, 1));
    bare->computeMassAndInertia(3);
    EXPECT_EQ(3.0, bare->getMass());
    expectNear(MTH_Vector3D(0.5, 0.5, 0.5), bare->getInertia(), 1e-15);
    EXPECT_EQ(MTH_Vector3D(5, 0, 0), bare->getGlobalPosition());

    MDL_RigidBody *fake = new MDL_RigidBody();
    w.m_oScene.addObject(fake);
    MDL_Object *notAMesh = new MDL_Object();
    notAMesh->m_iType = OBJECT_MESH;
    w.m_oScene.addObject(notAMesh);
    fake->addChild(notAMesh);
    w.volume(MDL_CollisionVolume::SHAPE_BOX, MTH_Vector3D(), MTH_Vector3D(1, 1, 1), notAMesh);
    fake->computeMassAndInertia(2);
    EXPECT_EQ(2.0, fake->getMass());

    // A mesh of a 2 x 4 x 6 box of points carrying a volume.
    MDL_MeshData *data = new MDL_MeshData();
    const MTH_Vector3D corners[2] = {MTH_Vector3D(-1, -2, -3), MTH_Vector3D(1, 2, 3)};
    data->m_iNumVertices = 2;
    data->m_poPositions = static_cast<MTH_Vector3D *>(malloc(2 * sizeof(MTH_Vector3D)));
    data->m_poPositions[0] = corners[0];
    data->m_poPositions[1] = corners[1];
    MDL_Mesh *mesh = new MDL_Mesh();
    mesh->setMeshData(data);
    MDL_RigidBody *boxed = new MDL_RigidBody();
    w.m_oScene.addObject(boxed);
    w.m_oScene.addObject(mesh);
    boxed->addChild(mesh);
    w.volume(MDL_CollisionVolume::SHAPE_SPHERE, MTH_Vector3D(), MTH_Vector3D(1, 1, 1), mesh);
    // Turning the body turns its mesh with it: the box is measured in the
    // body's own axes.
    boxed->editGlobalBasis().rotate(MTH_Vector3D(0, 0, 1), 1.0);
    boxed->computeMassAndInertia(0.5);
    EXPECT_NEAR(24.0, boxed->getMass(), 1e-12);
    expectNear(MTH_Vector3D(24.0 * 52 / 12, 24.0 * 40 / 12, 24.0 * 20 / 12), boxed->getInertia(), 1e-9);
    delete mesh->getMeshData();
    mesh->setMeshData(nullptr);
}

} // namespace
