GIF89a-link-module.js
