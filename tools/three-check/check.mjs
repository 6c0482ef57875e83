// node check.mjs FILE.glb: loads the file with three.js's GLTFLoader, as a three.js viewer does, and
// checks what it would show: every point light lights a white surface at the centre of the
// geometry, facing it, at about full brightness (three.js's physically based lights at exposure 1),
// and the meshes have their textures and vertex colours. Prints what it found; exit 1 on a failure.
import { readFileSync } from 'node:fs';
import * as THREE from 'three';
import { GLTFLoader } from 'three/examples/jsm/loaders/GLTFLoader.js';

// Node has no images to decode: a stand-in, since the textures' pixels are not checked here.
THREE.ImageLoader.prototype.load = function (url, onLoad) {
  const image = { width: 1, height: 1 };
  setTimeout(() => onLoad && onLoad(image));
  return image;
};
globalThis.self = globalThis;

const failures = [];
const check = (ok, what) => {
  console.log((ok ? 'ok   ' : 'FAIL ') + what);
  if (!ok) failures.push(what);
};

// Brightness of a white diffuse surface facing the light from `d` away: three.js's punctual light
// falloff (decay, range window) times the Lambert term 1 / pi.
function brightness(light, d) {
  let falloff = 1 / Math.max(Math.pow(d, light.decay), 0.01);
  if (light.distance > 0) falloff *= Math.pow(Math.min(Math.max(1 - Math.pow(d / light.distance, 4), 0), 1), 2);
  return (light.intensity * falloff) / Math.PI;
}

const bytes = readFileSync(process.argv[2]);
new GLTFLoader().parse(
  bytes.buffer.slice(bytes.byteOffset, bytes.byteOffset + bytes.byteLength),
  '',
  (gltf) => {
    const scene = gltf.scene;
    scene.updateMatrixWorld(true);
    const box = new THREE.Box3();
    const lights = [];
    const meshes = [];
    scene.traverse((o) => {
      if (o.isPointLight) lights.push(o);
      if (o.isMesh) {
        meshes.push(o);
        box.expandByObject(o);
      }
    });
    const centre = box.getCenter(new THREE.Vector3());
    check(lights.length > 0, `${lights.length} point lights`);
    for (const light of lights) {
      const d = light.getWorldPosition(new THREE.Vector3()).distanceTo(centre);
      const b = brightness(light, d);
      check(b > 0.5 && b < 2, `light "${light.name}": ${light.intensity.toFixed(1)} cd, ${d.toFixed(2)} from the ` +
        `geometry's centre, lights a white surface there at ${b.toFixed(3)} of full brightness`);
    }
    check(meshes.length > 0 && meshes.every((m) => m.material.map), `${meshes.length} meshes, each with a texture`);
    check(meshes.some((m) => m.material.vertexColors), 'vertex colours in use');
    process.exit(failures.length ? 1 : 0);
  },
  (error) => {
    console.error('three-check: the file does not load:', error);
    process.exit(1);
  },
);
