// Loads the page's program (data-program) once this browser is known to run it.
// The program is WebAssembly with SIMD, which a browser without it (Safari before
// 16.4) cannot even compile: that browser is told so in words, before anything else
// happens, and scripts read "unsupported" as the end.
(function() {
  // The smallest module with a SIMD instruction: (func (result v128) (i8x16.splat (i32.const 0))).
  var simd = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1, 0,
                             10, 8, 1, 6, 0, 65, 0, 253, 15, 11]);
  var load = document.currentScript;
  if (typeof WebAssembly === 'object' && WebAssembly.validate(simd)) {
    var program = document.createElement('script');
    program.src = load.dataset.program + '.js';
    load.after(program);
    return;
  }
  document.getElementById('ended-text').textContent =
    'This browser cannot run the demo: it needs WebAssembly with SIMD';
  document.getElementById('again').hidden = true;
  document.getElementById('ended').hidden = false;
  document.body.dataset.exitStatus = 'unsupported';
})();
