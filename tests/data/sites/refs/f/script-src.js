GIF89a-script-src.js
